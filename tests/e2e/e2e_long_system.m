function equations = e2e_long_system(n)
%E2E_LONG_SYSTEM Write PS.num of a dense cubic system that takes minutes to solve; return its text.
%   Equation k: sum_j (k + j) x_j^3 + x_k x_(k+1) - k = 0, 3^n paths on the total-degree route.
  equations = cell(1, n);
  E = zeros(0, n);
  c = [];
  for k = 1:n
    terms = arrayfun(@(j) sprintf('%d*x%d^3', k + j, j), 1:n, 'UniformOutput', false);
    next = mod(k, n) + 1;
    equations{k} = sprintf('%s + x%d*x%d - %d', strjoin(terms, ' + '), k, next, k);
    E = [E; 3 * eye(n)];
    row = zeros(1, n);
    row([k next]) = 1;
    E = [E; row; zeros(1, n)];
    c = [c, k + (1:n), 1, -k];
  end
  zormix_write_psnum('PS.num', E, c, repmat(n + 2, 1, n));
end
