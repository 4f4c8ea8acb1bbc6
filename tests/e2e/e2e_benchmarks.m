function e2e_benchmarks()
%E2E_BENCHMARKS Cyclic-5, cyclic-6 and Katsura-6 through the module.
  cleanup = e2e_enter_folder();
  old = getenv('ZORMIX_SEED');
  restore = onCleanup(@() setenv('ZORMIX_SEED', old));
  setenv('ZORMIX_SEED', '7');
  check('cyclic-5', @() cyclic(5), 5, 1, 70, 70);
  check('cyclic-6', @() cyclic(6), 6, 1, 156, 156);
  check('katsura-6', @() katsura(6), 7, 1, 64, 64);
  check('katsura-6, total degree', @() katsura(6), 7, 2, 64, 64);
end

function check(name, make, n, mode, paths, count)
  [exponents, coefficients, termCounts] = make();
  zormix_write_psnum('PS.num', exponents, coefficients, termCounts);
  tic;
  [nroots, npaths, stats] = e2e_solve(mode, n);
  printf('%s: %d roots of %d paths in %.1f s\n', name, nroots, npaths, toc);
  assert(npaths == paths, '%s: %d paths, expected %d', name, npaths, paths);
  assert(nroots == count, '%s: %d roots, expected %d', name, nroots, count);
  assert(all(stats(1, 1:nroots) < 1e-8), '%s: largest residue %g', name, max(stats(1, 1:nroots)));
end

% For k = 1..n-1: sum over i of x_i x_{i+1} ... x_{i+k-1} (indices mod n); and x_1 ... x_n - 1.
function [E, c, termCounts] = cyclic(n)
  E = zeros(0, n);
  termCounts = [n * ones(1, n - 1), 2];
  for k = 1:n - 1
    for i = 0:n - 1
      row = zeros(1, n);
      row(mod(i + (0:k - 1), n) + 1) = 1;
      E(end + 1, :) = row;
    end
  end
  E = [E; ones(1, n); zeros(1, n)];
  c = [ones(1, n * (n - 1) + 1), -1];
end

% Unknowns u_0..u_n with u_{-m} = u_m and u_m = 0 for m > n.
% For m = 0..n-1: sum over l = -n..n of u_|l| u_|m-l| - u_m = 0; and u_0 + 2 (u_1 + ... + u_n) - 1 = 0.
function [E, c, termCounts] = katsura(n)
  E = zeros(0, n + 1);
  c = [];
  termCounts = [];
  for m = 0:n - 1
    rows = zeros(0, n + 1);
    values = [];
    for l = -n:n
      a = abs(l);
      b = abs(m - l);
      if b <= n
        row = zeros(1, n + 1);
        row(a + 1) = row(a + 1) + 1;
        row(b + 1) = row(b + 1) + 1;
        rows(end + 1, :) = row;
        values(end + 1) = 1;
      end
    end
    row = zeros(1, n + 1);
    row(m + 1) = 1;
    rows(end + 1, :) = row;
    values(end + 1) = -1;
    [unique_rows, ~, index] = unique(rows, 'rows');
    summed = accumarray(index(:), values(:)).';
    keep = summed ~= 0;
    E = [E; unique_rows(keep, :)];
    c = [c, summed(keep)];
    termCounts(end + 1) = nnz(keep);
  end
  E = [E; eye(n + 1); zeros(1, n + 1)];
  c = [c, 1, 2 * ones(1, n), -1];
  termCounts(end + 1) = n + 2;
end
