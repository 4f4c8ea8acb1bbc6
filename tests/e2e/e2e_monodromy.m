function e2e_monodromy()
%E2E_MONODROMY A family's start by monodromy: complete by its trace test, the same p0 and roots
%as a start solve of the seed, members swept from it; a count; bad options.
  cleanup = e2e_enter_folder();
  F = {'x^2 + y^2 - a', 'x*y - b'};
  [S, M] = zormix_solve(F, 'parameters', {'a', 'b'}, 'start', 'monodromy', 'seed', 4);
  assert(M.solutionCount == 4 && M.traceTestPassed && strcmp(M.traceTest, 'passed'), ...
         'monodromy: 4 roots, trace test passed');
  assert(isequal(size(S.roots), [2 4]) && M.npaths > 4, 'start struct of 4 roots');
  T = zormix_solve(F, 'parameters', {'a', 'b'}, 'seed', 4);
  assert(max(abs(S.p0 - T.p0)) == 0, 'the p0 of a start solve of the seed');
  for c = 1:4
    assert(min(max(abs(S.roots - T.roots(:, c)), [], 1)) < 1e-10, 'root %d of the start solve', c);
  end
  [R, info] = zormix_solve(F, 'parameters', {'a', 'b'}, 'values', [5 2], 'start', S, 'seed', 1);
  assert(info.nroots == 4 && min(max(abs(R{1} - [1; 2]), [], 1)) < 1e-10, 'member (5, 2)');

  [~, C] = zormix_solve(F, 'parameters', {'a', 'b'}, 'start', 'monodromy', 'count', 4, 'seed', 2);
  assert(C.solutionCount == 4 && strcmp(C.stop, 'count') && strcmp(C.traceTest, 'not run'), ...
         'count: stops there, no trace test');
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'start', 'loops'), ...
                'zormix:badArgument', 'the text ''monodromy''');
  e2e_expect_id(@() zormix_solve(F, 'parameters', {'a', 'b'}, 'start', 'monodromy', 'count', 0), ...
                'zormix:badArgument', 'count');
end
