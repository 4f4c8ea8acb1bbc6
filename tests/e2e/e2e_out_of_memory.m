function e2e_out_of_memory()
%E2E_OUT_OF_MEMORY A solve larger than the memory the session may take fails with
%zormix:outOfMemory, and the session goes on. Run under an address-space limit (CMakeLists.txt):
%x_i^10 = 1 for i = 1..8 has 10^8 total-degree paths, more than the limit holds.
  cleanup = e2e_enter_folder();
  n = 8;
  E = zeros(2 * n, n);
  for i = 1:n
    E(2 * i - 1, i) = 10;
  end
  c = repmat([1 -1], 1, n);
  zormix_write_psnum('PS.num', E, c, 2 * ones(1, n));
  % The module has no path limit to lift: its route is refused before any storage is taken.
  e2e_expect_id(@() e2e_solve(2, n), 'zormix:outOfMemory', 'this solve has 100000000 paths');
  % One unknown of a huge degree: its 200000000 paths are refused in the same way.
  e2e_expect_id(@() zormix_solve({'x^200000000 - 1'}, 'route', 'totaldegree', 'seed', 1), ...
                'zormix:outOfMemory', 'this solve has 200000000 paths');
  [roots, info] = zormix_solve({'x^2 + y^2 - 1', 'x - y'}, 'seed', 1);
  assert(size(roots, 2) == 2, 'the session cannot solve after running out of memory');
end
