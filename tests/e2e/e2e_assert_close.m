function e2e_assert_close(actual, expected, tolerance, what)
%E2E_ASSERT_CLOSE Columns of ACTUAL equal those of EXPECTED in some order, within TOLERANCE.
  assert(isequal(size(actual), size(expected)), '%s: size %s, expected %s', what, ...
         mat2str(size(actual)), mat2str(size(expected)));
  used = false(1, columns(expected));
  for j = 1:columns(actual)
    distance = max(abs(expected - actual(:, j)), [], 1);
    distance(used) = inf;
    [best, k] = min(distance);
    assert(best < tolerance, '%s: column %d = %s has no match (distance %g)', what, j, ...
           mat2str(actual(:, j), 6), best);
    used(k) = true;
  end
end
