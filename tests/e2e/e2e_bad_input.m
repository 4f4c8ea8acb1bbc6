function e2e_bad_input()
%E2E_BAD_INPUT Every faulty "PS.num" ends the call with a message naming file, line and fault;
% nothing is written and the session goes on.
  cleanup = e2e_enter_folder();
  good = e2e_circle_line();

  e2e_expect_error(@() e2e_solve(1, 2), 'PS\.num', 'cannot open');
  check_no_report('missing file');

  cases = {
    % lines of the file,                             patterns of the message
    {'2', '3', '2', '2 0', '0 2'},                    {'PS\.num:5', 'premature end'}
    replace(good, 11, '(-1.0,abc)'),                  {'PS\.num:11'}
    replace(good, 4, '2 x'),                          {'PS\.num:4'}
    {'0'},                                            {'PS\.num:1', 'at least 1'}
    {'-2'},                                           {'PS\.num:1'}
    replace(good, 3, '0'),                            {'PS\.num:3'}
    replace(good, 2, '-1'),                           {'PS\.num:2'}
    replace(good, 7, '-1 0'),                         {'PS\.num:7', 'negative exponent'}
    {},                                               {'PS\.num'}
  };
  for k = 1:rows(cases)
    e2e_write_text('PS.num', cases{k, 1});
    e2e_expect_error(@() e2e_solve(1, 2), cases{k, 2}{:});
    check_no_report(sprintf('case %d', k));
  end

  % Input 2 must have one column per variable of the file; zero columns included.
  e2e_write_text('PS.num', good);
  for n = [0 1 3]
    e2e_expect_error(@() e2e_solve(1, n), 'PS\.num', 'n = 2', sprintf('has %d columns', n));
    check_no_report(sprintf('%d columns', n));
  end

  % After all these errors the same session still solves.
  [nroots, npaths, stats, roots] = e2e_solve(1, 2);
  assert(nroots == 2 && npaths == 2, 'after errors: %d roots, %d paths', nroots, npaths);
  assert(exist('data.roots', 'file') == 2, 'no data.roots after a good call');
end

function lines = replace(lines, k, text)
  lines{k} = text;
end

function check_no_report(what)
  assert(~exist('data.roots', 'file'), '%s: a failed call wrote data.roots', what);
end
