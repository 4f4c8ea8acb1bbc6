function e2e_progress()
%E2E_PROGRESS Progress lines appear in the console when asked for, and only then.
  cleanup = e2e_enter_folder();
  E = [2 0; 0 2; 0 0; 1 0; 0 1];
  c = [1 1 -1 1 -1];
  quiet = evalc('zormix_solve(E, c, [3 2]);');
  assert(isempty(strtrim(quiet)), 'zormix_solve printed without being asked:\n%s', quiet);
  shown = evalc('zormix_solve(E, c, [3 2], ''progress'', true);');
  assert(~isempty(strfind(shown, 'zormix: tracking 2/2 paths')), 'progress:\n%s', shown);

  % The module is silent unless ZORMIX_PROGRESS=1.
  zormix_write_psnum('PS.num', E, c, [3 2]);
  quiet = evalc('e2e_solve(1, 2);');
  assert(isempty(strtrim(quiet)), 'the module printed:\n%s', quiet);
  old = getenv('ZORMIX_PROGRESS');
  restore = onCleanup(@() setenv('ZORMIX_PROGRESS', old));
  setenv('ZORMIX_PROGRESS', '1');
  shown = evalc('e2e_solve(1, 2);');
  assert(~isempty(strfind(shown, 'zormix: mixed cells')), 'module progress:\n%s', shown);
end
