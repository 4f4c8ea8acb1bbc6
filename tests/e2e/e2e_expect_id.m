function message = e2e_expect_id(call, identifier, varargin)
%E2E_EXPECT_ID Run CALL, which must fail with IDENTIFIER and a message matching every pattern given.
  try
    call();
  catch err
    assert(strcmp(err.identifier, identifier), 'identifier "%s" instead of "%s" (message: %s)', ...
           err.identifier, identifier, err.message);
    message = err.message;
    for k = 1:numel(varargin)
      assert(~isempty(regexp(message, varargin{k}, 'once')), ...
             'error message "%s" does not match "%s"', message, varargin{k});
    end
    return;
  end
  error('e2e:noError', 'the call did not fail (expected %s)', identifier);
end
