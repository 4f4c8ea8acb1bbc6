function e2e_arguments()
%E2E_ARGUMENTS Argument counts and input checks, in the order the module makes them.
  cleanup = e2e_enter_folder();

  % No "PS.num" here and junk inputs: the count checks still come first, whatever nlhs is.
  for nrhs = [0 1 3]
    for nlhs = 0:5
      message = call_with(nlhs, repmat({'junk'}, 1, nrhs));
      assert(is_exactly(message, 'Two inputs required.'), 'nrhs=%d nlhs=%d: "%s"', nrhs, nlhs, message);
    end
  end
  for nlhs = [0 1 2 3 5]
    message = call_with(nlhs, {'junk', 1});
    assert(is_exactly(message, 'Four outputs required.'), 'nlhs=%d: "%s"', nlhs, message);
  end

  % Input 1 must be a non-empty real number; checked before the file is looked at.
  bad_modes = {'abc', [], 1 + 2i, {1}, true, sparse(2)};
  for k = 1:numel(bad_modes)
    e2e_expect_error(@() e2e_solve(bad_modes{k}, 2), 'input 1', 'real numeric');
  end

  % The environment's seed and thread count are checked as well.
  e2e_write_text('PS.num', e2e_circle_line());
  with_env('ZORMIX_SEED', '12x', @() e2e_expect_error(@() e2e_solve(1, 2), 'ZORMIX_SEED', '12x'));
  with_env('ZORMIX_SEED', '18446744073709551616', ...
           @() e2e_expect_error(@() e2e_solve(1, 2), 'ZORMIX_SEED'));
  with_env('ZORMIX_SEED', '-3', @() e2e_expect_error(@() e2e_solve(1, 2), 'ZORMIX_SEED'));
  with_env('ZORMIX_THREADS', 'two', @() e2e_expect_error(@() e2e_solve(1, 2), 'ZORMIX_THREADS'));
  assert(~exist('data.roots', 'file'), 'a failed call left data.roots');

  % The largest seed is accepted, and the session goes on after all these errors.
  with_env('ZORMIX_SEED', '18446744073709551615', @() e2e_solve(1, 2));
  [nroots, npaths] = e2e_solve(1, 2);
  assert(nroots == 2 && npaths == 2, 'circle and line: %d roots, %d paths', nroots, npaths);
end

function message = call_with(nlhs, inputs)
  message = '';
  outputs = cell(1, nlhs);
  try
    if nlhs == 0
      zormix(inputs{:});
    else
      [outputs{:}] = zormix(inputs{:});
    end
  catch err
    message = err.message;
  end
end

% Octave puts the function name before a MEX error message; MATLAB does not.
function same = is_exactly(message, text)
  same = strcmp(message, text) || strcmp(message, ['zormix: ' text]);
end

function with_env(name, value, call)
  old = getenv(name);
  setenv(name, value);
  restore = onCleanup(@() setenv(name, old));
  call();
end
