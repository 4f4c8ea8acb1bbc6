function e2e_wrapper()
%E2E_WRAPPER zormix_write_psnum and zormix_solve on systems with known roots.
  cleanup = e2e_enter_folder();
  here = pwd();

  % The circle example, written by the wrapper, as the module reads it.
  E = [2 0; 0 2; 0 0; 1 0; 0 1];
  zormix_write_psnum('PS.num', E, [1 1 -1 1 -1], [3 2], {'x', 'y'});
  text = fileread('PS.num');
  expected = sprintf('2\n3\n2\n2 0\n0 2\n0 0\n1 0\n0 1\n(1,0)\n(1,0)\n(-1,0)\n(1,0)\n(-1,0)\nx\ny\n');
  assert(strcmp(text, expected), 'PS.num written as:\n%s', text);

  % Real roots: x^2 + y^2 - 1 = 0, x - y = 0.
  [roots, info] = zormix_solve(E, [1 1 -1 1 -1], [3 2], {'x', 'y'}, 'seed', 3, 'report', true);
  e2e_assert_close(roots, [1 -1; 1 -1] / sqrt(2), 1e-10, 'circle and line');
  assert(info.nroots == 2 && info.npaths == 2, 'circle: %d roots, %d paths', info.nroots, info.npaths);
  assert(isequal(info.isReal, [true true]), 'circle: real flags %s', mat2str(info.isReal));
  assert(all(info.residues < 1e-8) && numel(info.conditionNumbers) == 2, 'circle: statistics');
  assert(isequal(info.variables, {'x', 'y'}), 'circle: variables');
  assert(~isempty(strfind(info.report, 'ZORMIX-2.0')), 'circle: report text');
  assert(strcmp(pwd(), here), 'zormix_solve changed the folder to %s', pwd());
  assert(isempty(getenv('ZORMIX_SEED')), 'zormix_solve left ZORMIX_SEED set');

  % Complex roots and complex coefficients, on the total-degree route:
  % x^2 + 1 = 0, (1+2i)*y - x = 0 gives x = +-i, y = x / (1+2i).
  [roots, info] = zormix_solve([2 0; 0 0; 0 1; 1 0], [1 1 1+2i -1], [2 2], 'route', 'totaldegree');
  expected = [1i -1i; 1i / (1 + 2i) -1i / (1 + 2i)];
  e2e_assert_close(roots, expected, 1e-10, 'complex roots');
  assert(info.npaths == 2 && ~any(info.isReal), 'complex roots: paths %d, real flags %s', ...
         info.npaths, mat2str(info.isReal));
  assert(isequal(info.variables, {'x1', 'x2'}), 'default variable names');

  % Bad arguments are refused before anything is written.
  e2e_expect_error(@() zormix_write_psnum('PS.num', E', [1 1 -1 1 -1], [3 2]), 'EXPONENTS', '5 x 2');
  e2e_expect_error(@() zormix_write_psnum('PS.num', -E, [1 1 -1 1 -1], [3 2]), 'non-negative');
  e2e_expect_error(@() zormix_write_psnum('PS.num', E, [1 1 -1], [3 2]), 'COEFFICIENTS');
  e2e_expect_error(@() zormix_write_psnum('PS.num', E, [1 1 -1 1 -1], [3 0]), 'TERMCOUNTS');
  e2e_expect_error(@() zormix_solve(E, [1 1 -1 1 -1], [3 2], 'route', 'fast'), 'route');

  % Polynomials as text, with a declared variable order.
  [roots, info] = zormix_solve({'x^2 + y^2 - 1', 'x - y'});
  e2e_assert_close(roots, [1 -1; 1 -1] / sqrt(2), 1e-10, 'text system');
  assert(isequal(info.variables, {'x', 'y'}), 'text system: variables');
  [roots, info] = zormix_solve('y - 2*x; x^2 - 4', 'variables', {'x', 'y'});
  e2e_assert_close(roots, [2 -2; 4 -4], 1e-10, 'declared variables');
  assert(isequal(info.variables, {'x', 'y'}), 'declared variables: order');
end
