function e2e_decompose()
%E2E_DECOMPOSE zormix_decompose: the plane and the line of xy = xz = 0 with their witness points,
%membership, a double conic, the same result whatever the threads, and bad options.
  cleanup = e2e_enter_folder();
  [d, info] = zormix_decompose({'x*y', 'x*z'}, 'seed', 2, 'member', [0 2 -3; 0.5 0 0; 1 1 1]);
  assert(numel(d.components) == 2, 'two components');
  assert(isequal([d.components.dimension], [2 1]) && isequal([d.components.degree], [1 1]), ...
         'the plane x = 0 and the line y = z = 0');
  assert(all([d.components.trace_test_passed]), 'every trace test passes');
  for k = 1:2
    c = d.components(k);
    assert(isequal(size(c.points), [3 c.degree]), 'points are n x degree');
    assert(max(abs(c.slice * c.points + c.constants)) < 1e-10, 'points on their slice');
  end
  assert(abs(d.components(1).points(1)) < 1e-10, 'the plane''s point has x = 0');
  assert(isequal(d.membership{1}, 1) && isequal(d.membership{2}, 2) && isempty(d.membership{3}), ...
         'membership');
  assert(d.regular_count == 0 && isempty(d.isolated), 'no isolated point');
  assert(strcmp(info.summary, d.summary), 'info is the JSON document');

  twice = zormix_decompose({'(x^2 + y^2 - 1)^2'}, 'seed', 1);
  assert(numel(twice.components) == 1 && twice.components.degree == 2 && ...
         twice.components.multiplicity == 2 && twice.components.trace_test_passed, ...
         'a conic of multiplicity 2');

  one = zormix_decompose({'x*y', 'x*z'}, 'seed', 5, 'threads', 1);
  two = zormix_decompose({'x*y', 'x*z'}, 'seed', 5, 'threads', 2);
  assert(isequal(one.components(2).points, two.components(2).points), 'threads change nothing');

  e2e_expect_id(@() zormix_decompose({'x*y', 'x*z'}, 'topDimension', 7), 'zormix:badArgument', ...
                'top dimension');
  e2e_expect_id(@() zormix_decompose(42), 'zormix:badArgument', 'EQUATIONS');
end
