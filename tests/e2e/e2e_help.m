function e2e_help()
%E2E_HELP Every function the user calls has help text that starts with its H1 line.
  for name = {'zormix', 'zormix_solve_mex', 'zormix_solve', 'zormix_write_psnum'}
    text = evalc(sprintf('help %s', name{1}));
    h1 = regexp(text, sprintf('\\n\\s*%s\\s+\\S[^\\n]*', upper(name{1})), 'match', 'once');
    assert(~isempty(h1), 'help %s has no H1 line:\n%s', name{1}, text);
    assert(~isempty(strfind(text, 'See also')), 'help %s has no "See also" line', name{1});
  end
  % The module's help is the documentation of its fixed interface, found beside the MEX file.
  text = evalc('help zormix');
  for item = {'NROOTS', 'ZORMIX_SEED', 'ZORMIX_THREADS', 'ZORMIX_PROGRESS', 'zormix:interrupted'}
    assert(~isempty(strfind(text, item{1})), 'help zormix does not mention %s', item{1});
  end
  assert(~isempty(regexp(which('zormix'), '\.mex$', 'once')), 'zormix resolves to %s', ...
         which('zormix'));
end
