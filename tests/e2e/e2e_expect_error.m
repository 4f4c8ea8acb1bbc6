function message = e2e_expect_error(call, varargin)
%E2E_EXPECT_ERROR Run CALL, which must fail with a message matching every regular expression given.
  try
    call();
  catch err
    message = err.message;
    for k = 1:numel(varargin)
      assert(~isempty(regexp(message, varargin{k}, 'once')), ...
             'error message "%s" does not match "%s"', message, varargin{k});
    end
    return;
  end
  error('e2e:noError', 'the call did not fail (expected: %s)', strjoin(varargin, ' ... '));
end
