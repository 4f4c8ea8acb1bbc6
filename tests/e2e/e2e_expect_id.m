function message = e2e_expect_id(call, identifier, varargin)
%E2E_EXPECT_ID Run CALL, which must fail with IDENTIFIER and a message matching every pattern given.
  try
    call();
  catch err
    assert(strcmp(err.identifier, identifier), 'identifier "%s" instead of "%s" (message: %s)', ...
           err.identifier, identifier, err.message);
    message = e2e_expect_error(@() rethrow(err), varargin{:});
    return;
  end
  error('e2e:noError', 'the call did not fail (expected %s)', identifier);
end
