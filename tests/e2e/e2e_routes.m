function e2e_routes()
%E2E_ROUTES The route follows input 1 truncated toward zero; the results keep their fixed shapes.
% x*y - 1 = 0, x*y + x - 2 = 0: Bezout number 4, mixed volume 1, one root (1, 1).
  cleanup = e2e_enter_folder();
  e2e_write_text('PS.num', {'2', '2', '3', '1 1', '0 0', '1 1', '1 0', '0 0', ...
                            '(1,0)', '(-1,0)', '(1,0)', '(1,0)', '(-2,0)', 'x', 'y'});
  modes = [2.7, 2, 2.999, 1.99, -2, -2.9, 1, 0, 3];
  paths = [4, 4, 4, 1, 1, 1, 1, 1, 1];
  for k = 1:numel(modes)
    [nroots, npaths, stats, roots] = e2e_solve(modes(k), 2);
    assert(npaths == paths(k), 'mode %g: %d paths, expected %d', modes(k), npaths, paths(k));
    assert(nroots == 1, 'mode %g: %d roots', modes(k), nroots);
    assert(max(abs(roots(:, 1) - [1; 1])) < 1e-10, 'mode %g: root %s', modes(k), mat2str(roots(:, 1)));
    check_shapes(nroots, npaths, stats, roots, 2);
  end
  % Only the first element of input 1 counts.
  [~, npaths] = e2e_solve([2 1 1], 2);
  assert(npaths == 4, 'mode [2 1 1]: %d paths', npaths);
  [~, npaths] = e2e_solve(int32(2), 2);
  assert(npaths == 4, 'mode int32(2): %d paths', npaths);
end

function check_shapes(nroots, npaths, stats, roots, n)
  capacity = 500000;
  assert(isa(nroots, 'double') && isequal(size(nroots), [1 1]) && isreal(nroots), 'result 1');
  assert(isa(npaths, 'double') && isequal(size(npaths), [1 1]) && isreal(npaths), 'result 2');
  assert(isa(stats, 'double') && isequal(size(stats), [2 capacity]) && isreal(stats), 'result 3');
  assert(isa(roots, 'double') && isequal(size(roots), [n capacity]), 'result 4 size %s', ...
         mat2str(size(roots)));
  assert(all(stats(1, 1:nroots) >= 0) && all(stats(2, 1:nroots) >= 1), 'result 3 values');
  % Columns past the returned count stay zero.
  assert(~any(any(stats(:, nroots + 1:end))), 'result 3 has values past column %d', nroots);
  assert(~any(any(roots(:, nroots + 1:end))), 'result 4 has values past column %d', nroots);
end
