function e2e_newcomer()
%E2E_NEWCOMER What an Octave user meets first: PHCpack's text read as PHCpack reads it, the counts
%and real roots of the command's JSON, roots shown without rounding noise, a start that displays
%its roots and not its file, and a member's route named as everywhere else.
  cleanup = e2e_enter_folder();

  % PHCpack's format, as fileread gives it: the count line is no factor of the first equation.
  [r, info] = zormix_solve(sprintf('2\nx^2 + y^2 - 1;\nx - y;\nTHE SOLUTIONS :\n'), 'seed', 1);
  e2e_assert_close(abs(r), sqrt(0.5) * ones(2, 2), 1e-12, 'PHCpack text');
  assert(isequal(info.variables, {'x', 'y'}), 'PHCpack variables');

  % Every verdict but failed in one system: the classes, the lists of paths and the real roots
  % mean what the command's JSON says.
  text = 'x*(y - 1)*(x - 3); x*((x - 2)^2 + (y - 1)^2 - 1)';
  [~, info] = zormix_solve(text, 'route', 'total-degree', 'seed', 1);
  fid = fopen('system.txt', 'w');
  fputs(fid, text);
  fclose(fid);
  [status, output] = system(sprintf('"%s" system.txt --route total-degree --seed 1 --no-report -q --json out.json', ...
                                    getenv('ZORMIX_CLI')));
  assert(status == 0, 'zormix: %s', output);
  j = jsondecode(fileread('out.json'));
  c = info.classes;
  assert(isequal([c.regular, c.singular, c.singularEndPoints, c.positiveDimensional, ...
                  c.atInfinity, c.failed, c.realRegular], ...
                 [j.regular_count, j.singular_count, j.singular_end_point_count, ...
                  j.positive_dimensional_count, j.at_infinity_count, j.failed_count, ...
                  j.real_count]), 'classes and JSON disagree');
  assert(isequal([c.regular, c.singular, c.positiveDimensional, c.atInfinity], [1 1 4 1]), ...
         'the verdicts of the mixed system');
  assert(numel(info.failures) == j.failed_count && ...
         numel(info.atInfinityPaths) == j.at_infinity_count, 'lists of paths');
  assert(isequal(info.isReal, [j.roots.real]) && isequal(info.isRealPoint, [j.roots.real_point]), ...
         'real flags');
  assert(sum(info.isReal) == 1 && sum(info.isRealPoint) > 1, ...
         'only the regular root is a real root');
  assert(strcmp(info.summary, j.summary), 'summary');

  % Rounding noise (real parts of 1e-27 and below) is shown as 0; the roots keep it.
  [r, info] = zormix_solve({'x^2 + 1e-3', 'y - x'}, 'seed', 1);
  assert(any(real(r(:)) ~= 0), 'the roots keep their values');
  assert(~isempty(strfind(info.text, '0.0316228i')) && isempty(regexp(info.text, 'e-[0-9]', 'once')), ...
         'noise in the text: %s', info.text);
  assert(~isempty(strfind(info.text, 'variables: x, y')), 'variables in the text');

  % A start displays its roots, not its file; reused, it gives what a fresh start gives.
  F = {'x^2 + y^2 - a', 'x*y - b'};
  S = zormix_solve(F, 'parameters', {'a', 'b'}, 'seed', 3);
  shown = evalc('S');
  assert(numel(shown) < 1000 && ischar(S.file()) && numel(S.file()) > 1000, ...
         'S shows %d characters', numel(shown));
  [R, info] = zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [5 2], 'start', S, 'seed', 3);
  assert(info.nroots == 4 && strcmp(info.route, 'parameter'), 'member from the start');
end
