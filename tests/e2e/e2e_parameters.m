function e2e_parameters()
%E2E_PARAMETERS A family: the start, its members from it, a start reused, another system refused.
  cleanup = e2e_enter_folder();
  F = {'x^2 + y^2 - a', 'x*y - b'};
  S = zormix_solve(F, 'parameters', {'a', 'b'}, 'seed', 3);
  assert(isequal(size(S.roots), [2 4]) && isequal(S.parameters, {'a', 'b'}) && ...
         isequal(S.multiplicity, [1 1 1 1]), 'start: 4 roots of multiplicity 1');

  % (5, 2): (1, 2), (2, 1) and their negatives; a complex member; (5, 0): xy = 0.
  P = [5 2; 1+2i 3; 5 0];
  [R, info] = zormix_solve(F, 'parameters', {'a', 'b'}, 'values', P, 'start', S, 'seed', 3);
  assert(iscell(R) && numel(R) == 3 && numel(info) == 3, 'one result per row of P');
  assert(isequal([info.instance], 1:3) && all([info.solved]) && isequal([info.nroots], [4 4 4]), ...
         'every member solved with 4 roots');
  expected = [1 2 -1 -2; 2 1 -2 -1];
  for k = 1:4
    assert(min(sum(abs(R{1} - expected(:, k)), 1)) < 1e-10, 'member 1: root %d missing', k);
  end
  for k = 1:3
    Fk = cellfun(@(e) strrep(strrep(e, 'a', sprintf('(%.17g, %.17g)', real(P(k, 1)), ...
                 imag(P(k, 1)))), 'b', sprintf('(%.17g, %.17g)', real(P(k, 2)), imag(P(k, 2)))), ...
                 F, 'UniformOutput', false);
    fresh = zormix_solve(Fk, 'seed', 1);
    for c = 1:size(fresh, 2)
      assert(min(max(abs(R{k} - fresh(:, c)), [], 1)) < 1e-8, 'member %d: root %d of a fresh solve', k, c);
    end
  end
  assert(info(1).classes.realRegular == 4 && info(2).classes.realRegular == 0, 'real roots');

  % Without 'start' the start is solved first; a start of another family is refused.
  [R2, info2] = zormix_solve(F, 'parameters', {'a', 'b'}, 'values', P(1, :), 'seed', 3);
  assert(numel(R2) == 1 && info2.nroots == 4, 'start solved in the same call');
  e2e_expect_id(@() zormix_solve({'x^2 + 2*y^2 - a', 'x*y - b'}, 'parameters', {'a', 'b'}, ...
                'values', [1 2], 'start', S), 'zormix:invalidInput', 'belongs to another system');
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [1 2 3]), ...
                'zormix:badArgument', 'one column per parameter');
  % 'maxPaths' bounds the start solve (4 paths) and a sweep from a start, as it bounds a solve.
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'maxPaths', 3), ...
                'zormix:outOfMemory', 'more than the 3 paths allowed');
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [5 2], 'start', S, ...
                'maxPaths', 3), 'zormix:outOfMemory', 'more than the 3 paths allowed');

  % The fields of a start are what is used: an edit that keeps it a start of F takes effect
  % (the roots in another order), one that cannot be right is refused, none is ignored.
  T = S;
  T.roots = T.roots(:, [3 1 4 2]);
  [R3, info3] = zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [5 2], 'start', T, 'seed', 3);
  assert(info3.nroots == 4 && min(sum(abs(R3{1} - expected(:, 1)), 1)) < 1e-10, 'reordered start');
  edits = {@(T) setfield(T, 'roots', T.roots + 1), 'is no root of the system'; ...
           @(T) setfield(T, 'p0', 0 * T.p0), 'is no root of the system'; ...
           @(T) setfield(T, 'roots', T.roots(:, [1 1 3 4])), 'are the same point'; ...
           @(T) setfield(T, 'npaths', 1e12), 'more than the 4'; ...
           @(T) setfield(T, 'parameters', {'b', 'a'}), 'other parameters'};
  for k = 1:size(edits, 1)
    e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [5 2], ...
                  'start', edits{k, 1}(S)), 'zormix:invalidInput', edits{k, 2});
  end
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [5 2], 'start', ...
                setfield(S, 'multiplicity', [1 0 1 1])), 'zormix:badArgument', 'at least 1');
  % 'values' and 'start' belong to a family; a parameter named twice is blamed on 'parameters'.
  e2e_expect_id(@() zormix_solve(F, 'values', [5 2]), 'zormix:badArgument', 'give option ''parameters''');
  e2e_expect_id(@() zormix_solve(F, 'start', S), 'zormix:badArgument', 'give option ''parameters''');
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'a'}), 'zormix:invalidInput', ...
                'option ''parameters''');
  % Names are not cut to 20 characters, where two names could become one.
  long = {'abcdefghijklmnopqrstu1', 'abcdefghijklmnopqrstu2'};
  e2e_expect_id(@() zormix_solve_mex([1 0; 0 1], [1 1], [1 1], long, struct()), ...
                'zormix:badArgument', 'longer than the 20 characters');
  e2e_expect_id(@() zormix_write_psnum('d.num', [1 0; 0 1], [1 1], [1 1], {'x', ' x'}), ...
                'zormix:badArgument', 'twice');
  assert(~exist('d.num', 'file'), 'a refused system was written');
end
