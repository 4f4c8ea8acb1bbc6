function e2e_identifiers()
%E2E_IDENTIFIERS Errors of the module, the MEX function and the M-files carry zormix:... identifiers.
  cleanup = e2e_enter_folder();
  E = [2 0; 0 2; 0 0; 1 0; 0 1];
  c = [1 1 -1 1 -1];
  zormix_write_psnum('PS.num', E, c, [3 2]);

  % The module: argument counts with their fixed messages, then the library's errors.
  e2e_expect_id(@() zormix(1), 'zormix:wrongInputCount', 'Two inputs required\.');
  e2e_expect_id(@() e2e_one_output(), 'zormix:wrongOutputCount', 'Four outputs required\.');
  e2e_expect_id(@() e2e_solve('x', 2), 'zormix:invalidInput', 'input 1');
  with_env('ZORMIX_THREADS', 'abc', ...
           @() e2e_expect_id(@() e2e_solve(1, 2), 'zormix:invalidInput', 'ZORMIX_THREADS'));
  with_env('ZORMIX_PROGRESS', 'yes', ...
           @() e2e_expect_id(@() e2e_solve(1, 2), 'zormix:invalidInput', 'ZORMIX_PROGRESS'));

  % Results of n x 500000 complex values are refused before any solving when over 2 GiB: n = 268
  % fits (2.14 GB), n = 269 does not.
  big_linear_system(269);
  e2e_expect_id(@() e2e_solve(1, 269), 'zormix:resultTooLarge', '2\.2 GB', 'zormix_solve');
  assert(isempty(dir('data.roots*')), 'a refused call wrote a report');

  % The in-memory function and the M-files.
  e2e_expect_id(@() zormix_solve_mex(E, c, [3 2], {}), 'zormix:wrongInputCount');
  e2e_expect_id(@() zormix_solve_mex(E, c, [3 2], {}, struct('threads', -1)), ...
                'zormix:badArgument', 'threads');
  e2e_expect_id(@() zormix_solve_mex(E, c, [3 2], {}, struct('seed', '-1')), ...
                'zormix:badArgument', 'seed');
  e2e_expect_id(@() zormix_solve_mex(E, c, [3 2], {}, struct('sead', 1)), ...
                'zormix:unknownOption', 'sead');
  e2e_expect_id(@() zormix_solve(E, c, [3 2], 'route', 'fast'), 'zormix:badArgument', 'route');
  e2e_expect_id(@() zormix_solve(E, c, [3 2], 'sead', 1), 'zormix:unknownOption', 'sead');
  e2e_expect_id(@() zormix_solve(E', c, [3 2]), 'zormix:badArgument', 'EXPONENTS', '5 x 2');
  e2e_expect_id(@() zormix_solve({'x^2 + y^2 - 1', 'x - $y'}), 'zormix:invalidInput');
  e2e_expect_id(@() zormix_write_psnum('PS.num', E, c, [3 0]), 'zormix:badArgument', 'TERMCOUNTS');
  e2e_expect_id(@() zormix_write_psnum(fullfile(pwd(), 'no', 'such', 'PS.num'), E, c, [3 2]), ...
                'zormix:cannotWrite');
  % Text cut short at a NUL, names given twice, and the argument actually at fault.
  e2e_expect_id(@() zormix_solve({['x - 1' char(0) ' + y'], 'y - 1'}), 'zormix:badArgument', ...
                'element 1', 'NUL', 'position 6');
  e2e_expect_id(@() zormix_solve(E, c, [3 2], {['x' char(0) 'a'], 'y'}), ...
                'zormix:badArgument', 'NAMES element 1', 'NUL');
  e2e_expect_id(@() zormix_solve(E, c, [3 2], {'x', 'x'}), 'zormix:badArgument', ...
                '''x'' twice');
  e2e_expect_id(@() zormix_solve({'sin(x) + y', 'x - y'}), 'zormix:invalidInput', ...
                'unknown function ''sin''');
  e2e_expect_id(@() zormix_write_psnum('x.num', [1 0; 0 1], [1 1], [1 1 1]), ...
                'zormix:badArgument', 'TERMCOUNTS must hold 2 counts', '\[1 1 1\]');
  e2e_expect_id(@() zormix_solve(E, c, [3 2], 'route', 5), 'zormix:badArgument', ...
                'route.*must be text', 'double');
  % The errors of zormix_solve are its own, whichever function found them.
  message = e2e_expect_id(@() zormix_solve(E, c, [3 2], 'threads', -1), 'zormix:badArgument', ...
                          '^zormix_solve: ', 'threads');
  assert(isempty(strfind(message, 'zormix_solve_mex')), 'message "%s" names the MEX function', ...
         message);
end


function e2e_one_output()
  x = zormix(1, zeros(1, 2)); %#ok<NASGU>
end

% x_k - 1 = 0 for k = 1..n.
function big_linear_system(n)
  E = zeros(2 * n, n);
  E(1:2:end, :) = eye(n);
  zormix_write_psnum('PS.num', E, repmat([1 -1], 1, n), repmat(2, 1, n));
end

function with_env(name, value, call)
  old = getenv(name);
  setenv(name, value);
  restore = onCleanup(@() setenv(name, old));
  call();
end
