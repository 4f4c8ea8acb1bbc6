function e2e_classification()
%E2E_CLASSIFICATION Root classes, path accounting and certificates in INFO, on known answers.
  cleanup = e2e_enter_folder();

  % A double root: both end points stay in ROOTS as one singular point of multiplicity 2.
  [roots, info] = zormix_solve({'(x - 1)^2', 'y - 2'}, 'seed', 1);
  e2e_assert_close(roots, [1 1; 2 2], 1e-6, 'double root');
  c = info.classes;
  assert(c.regular == 0 && c.singular == 1 && c.singularEndPoints == 2, ...
         'double root: %d regular, %d singular, %d end points', c.regular, c.singular, ...
         c.singularEndPoints);
  assert(isequal(info.rootStatus, {'singular', 'singular'}) && isequal(info.multiplicity, [2 2]) ...
         && isequal(info.groupLeader, [1 1]), 'double root: per-root classification');
  assert_paths_add_up(info, 'double root');
  assert(~info.certification.run && isempty(info.certified) && isequal(size(info.boxLower), [2 0]), ...
         'certificates without being asked for');
  t = struct2cell(info.timings);
  assert(numel(t) == 5 && all(cellfun(@(s) isfinite(s) && s >= 0, t)), 'timings');

  % Total degree: y = 2, x = +-i, and two paths to infinity (the leading forms share x^2 = 0).
  [roots, info] = zormix_solve({'x^2 + y - 1', 'x^2 + 2*y - 3'}, 'route', 'totaldegree', 'seed', 1);
  e2e_assert_close(roots, [1i -1i; 2 2], 1e-8, 'two at infinity');
  c = info.classes;
  assert(info.npaths == 4 && c.regular == 2 && c.atInfinity == 2 && c.failed == 0 && ...
         c.realRegular == 0, 'two at infinity: %d paths, %d regular, %d at infinity, %d failed', ...
         info.npaths, c.regular, c.atInfinity, c.failed);
  assert(isequal(info.rootStatus, {'regular', 'regular'}) && isequal(info.multiplicity, [1 1]), ...
         'two at infinity: per-root classification');
  assert(isequal({info.atInfinityPaths.status}, {'diverged', 'diverged'}) && ...
         all([info.atInfinityPaths.valuation] < 0) && isempty(info.failures), ...
         'at infinity: statuses %s', strjoin({info.atInfinityPaths.status}, ', '));
  assert_paths_add_up(info, 'two at infinity');

  % Parabola and circle: two real and two non-real roots, all certified, the real ones as real.
  [roots, info] = zormix_solve({'y - x^2 + 1', 'x^2 + y^2 - 4'}, 'variables', {'x', 'y'}, ...
                               'seed', 1, 'certify', true);
  assert(info.classes.regular == 4 && info.classes.realRegular == 2 && sum(info.isReal) == 2, ...
         'parabola: %d regular, %d real', info.classes.regular, info.classes.realRegular);
  assert(isequal(info.certified, true(1, 4)) && isequal(info.certifiedReal, info.isReal), ...
         'parabola: certified %s, real %s', mat2str(info.certified), mat2str(info.certifiedReal));
  assert(isequal([info.certification.certified, info.certification.distinct, ...
                  info.certification.real], [4 4 2]), 'parabola: certification counts');
  assert_boxes_hold(roots, info, 'parabola');

  % The circle and the line, also from the MEX function with 1 for true.
  result = zormix_solve_mex({'x^2 + y^2 - 1', 'x - y'}, struct('certify', 1, 'seed', 3));
  assert(result.certification.run && result.certification.distinct == 2 && ...
         all(result.certified), 'circle: %d distinct', result.certification.distinct);
  assert_boxes_hold(result.roots, result, 'circle');

  % A triple root: one singular root from three paths, in the summary line as well.
  [~, info] = zormix_solve({'(x - 1)^3', 'y - 2'}, 'route', 'totaldegree', 'seed', 1);
  assert(info.classes.singular == 1 && info.classes.singularEndPoints == 3 && ...
         isequal(info.multiplicity, [3 3 3]), 'triple root: %d singular from %d paths', ...
         info.classes.singular, info.classes.singularEndPoints);
  assert(strncmp(info.summary, '0 regular roots (0 real)', 24), 'triple root: summary %s', ...
         info.summary);
  assert_paths_add_up(info, 'triple root');

  % Two lines, x y = 0 twice: every total-degree path ends on one of them (dimension 1).
  [~, info] = zormix_solve({'x*y', 'x*y'}, 'route', 'totaldegree', 'seed', 1);
  assert(info.classes.positiveDimensional == 4 && isequal(info.localDimension, [1 1 1 1]), ...
         'two lines: %d on sets', info.classes.positiveDimensional);
  assert_paths_add_up(info, 'two lines');

  % A value that is not true or false is refused before solving.
  for bad = {'yes', 2, [true true], {true}, 1i}
    e2e_expect_id(@() zormix_solve({'x - 1', 'y'}, 'certify', bad{1}), 'zormix:badArgument', ...
                  'certify', 'true or false');
  end
  e2e_expect_id(@() zormix_solve({'x - 1', 'y'}, 'report', NaN), 'zormix:badArgument', 'report');
end

function assert_paths_add_up(info, what)
  c = info.classes;
  assert(c.regular + c.singularEndPoints + c.positiveDimensional + c.atInfinity + c.failed ...
         == info.npaths, ...
         '%s: the classes do not add up to %d paths', what, info.npaths);
  assert(c.atInfinity == numel(info.atInfinityPaths) && c.failed == numel(info.failures) && ...
         all(strcmp({info.atInfinityPaths.status}, 'diverged')) && ...
         ~any(strcmp({info.failures.status}, 'diverged')), ...
         '%s: the lists of paths and the classes disagree', what);
end

% Each certified box holds its root (up to the root's own rounding), boxes of real roots meet
% the real axis, and distinct boxes do not overlap.
function assert_boxes_hold(roots, info, what)
  lo = info.boxLower;
  hi = info.boxUpper;
  slack = 1e-12 * max(1, abs(roots));
  ordered = real(lo) < real(hi) & imag(lo) < imag(hi) & abs(hi - lo) < 1e-6;
  assert(all(ordered(:)), '%s: box corners', what);
  inside = real(lo) - slack <= real(roots) & real(roots) <= real(hi) + slack & ...
           imag(lo) - slack <= imag(roots) & imag(roots) <= imag(hi) + slack;
  assert(all(inside(:)), '%s: a root outside its box', what);
  real_boxes = find(info.certifiedReal);
  straddles = imag(lo(:, real_boxes)) < 0 & imag(hi(:, real_boxes)) > 0;
  assert(all(straddles(:)), ...
         '%s: a real box off the real axis', what);
  for a = 1:size(roots, 2)
    for b = a + 1:size(roots, 2)
      apart = real(hi(:, a)) < real(lo(:, b)) | real(hi(:, b)) < real(lo(:, a)) | ...
              imag(hi(:, a)) < imag(lo(:, b)) | imag(hi(:, b)) < imag(lo(:, a));
      assert(any(apart), '%s: boxes %d and %d overlap', what, a, b);
    end
  end
end
