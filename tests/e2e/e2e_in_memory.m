function e2e_in_memory()
%E2E_IN_MEMORY zormix_solve through zormix_solve_mex: no files, the library's results in the struct.
  cleanup = e2e_enter_folder();

  % Text forms: cell array, one text with ';', one text with line breaks; a char matrix is refused.
  [r1, info] = zormix_solve({'x^2 + y^2 - 1', 'x - y'}, 'seed', 5);
  r2 = zormix_solve('x^2 + y^2 - 1; x - y', 'seed', 5);
  r3 = zormix_solve(sprintf('x^2 + y^2 - 1\nx - y\n'), 'seed', 5);
  assert(isequal(r1, r2, r3), 'the three text forms disagree');
  e2e_assert_close(r1, [1 -1; 1 -1] / sqrt(2), 1e-10, 'circle as text');
  assert(isempty(dir()) || all(ismember({dir().name}, {'.', '..'})), 'zormix_solve wrote files');
  assert(strcmp(info.seed, '5') && strcmp(info.route, 'polyhedral'), 'seed %s, route %s', ...
         info.seed, info.route);
  assert(~isfield(info, 'report'), 'the report is returned without being asked for');
  e2e_expect_id(@() zormix_solve(['x - 1'; 'y - 2']), 'zormix:badArgument', 'char matrix');

  % Errors in the text name the equation and the column as written.
  message = e2e_expect_id(@() zormix_solve({'x^2 + y^2 - 1', 'x - $y'}), 'zormix:invalidInput');
  assert(~isempty(strfind(message, 'equation 2, column 5: unexpected character')), message);
  assert(isempty(strfind(message, '<equations>')) && isempty(strfind(message, 'tmp')), message);
  message = e2e_expect_id(@() zormix_solve({'x + y'}), 'zormix:invalidInput');
  assert(~isempty(strfind(message, 'equation 1, column 1: the system is not square: 1 equation')), ...
         message);

  % isReal is the library's classification: a real pair and a complex pair.
  [roots, info] = zormix_solve({'x^2 - 4', 'y^2 + 1'}, 'route', 'totaldegree', 'seed', 2);
  assert(info.nroots == 4 && size(roots, 2) == 4, '%d roots', info.nroots);
  assert(~any(info.isReal), 'y = +-i, yet real flags %s', mat2str(info.isReal));
  [~, info] = zormix_solve({'x^2 - 4', 'y^2 - 1'}, 'seed', 2);
  assert(all(info.isReal), 'all real, yet flags %s', mat2str(info.isReal));

  % Seeds above 2^53 travel as text and come back unchanged; the same seed gives the same roots
  % for any thread count.
  big = '18446744073709551615';
  [a, info] = zormix_solve({'x^3 - 2*y', 'y^2 - x - 1'}, 'seed', big, 'threads', 1);
  assert(strcmp(info.seed, big), 'seed came back as %s', info.seed);
  b = zormix_solve({'x^3 - 2*y', 'y^2 - x - 1'}, 'seed', big, 'threads', 0);
  assert(isequal(a, b), 'threads 1 and 0 give different roots');

  % Paths without an end point: parallel lines meet only at infinity, so the path has no end
  % point and is reported with its status, at infinity or failed.
  [roots, info] = zormix_solve({'x + y - 1', 'x + y - 2'}, 'route', 'totaldegree');
  assert(isempty(roots) && info.npaths == 1, '%d roots of %d paths', size(roots, 2), info.npaths);
  lost = [info.failures, rmfield(info.atInfinityPaths, 'valuation')];
  assert(numel(lost) == 1 && ischar(lost(1).status), 'paths without an end point');
  byStatus = struct2cell(info.counts.byStatus);
  assert(sum([byStatus{:}]) == info.npaths, 'status counts do not add up to the paths');
  assert(info.counts.byStatus.(lost(1).status) == 1, 'status %s not counted', lost(1).status);

  % The report text, on request, is that of the module.
  [~, info] = zormix_solve([2 0; 0 2; 0 0; 1 0; 0 1], [1 1 -1 1 -1], [3 2], {'x', 'y'}, ...
                           'seed', 3, 'report', true);
  assert(~isempty(strfind(info.report, 'ZORMIX-2.0')), 'report text');
  assert(isequal(info.variables, {'x', 'y'}), 'variables');
end
