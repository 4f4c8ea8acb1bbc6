function [roots, info] = zormix_solve(varargin)
%ZORMIX_SOLVE Solve a square polynomial system with the zormix module; return the accepted roots.
%
%   [ROOTS, INFO] = zormix_solve(EXPONENTS, COEFFICIENTS, TERMCOUNTS)
%   [ROOTS, INFO] = zormix_solve(EXPONENTS, COEFFICIENTS, TERMCOUNTS, NAMES)
%   [ROOTS, INFO] = zormix_solve(POLYNOMIALS)
%   [...] = zormix_solve(..., 'route', 'polyhedral' | 'totaldegree')
%   [...] = zormix_solve(..., 'mode', MODE)
%   [...] = zormix_solve(..., 'seed', SEED)
%   [...] = zormix_solve(..., 'threads', THREADS)
%   [...] = zormix_solve(..., 'variables', NAMES)
%   [...] = zormix_solve(..., 'cli', PATH_TO_ZORMIX_CLI)
%
%   EXPONENTS, COEFFICIENTS, TERMCOUNTS and NAMES are as in ZORMIX_WRITE_PSNUM (one row of
%   EXPONENTS per term). POLYNOMIALS is a cell array of equations written as text, such as
%   {'x^2 + y^2 - 1', 'x - y'}, or one string with the equations separated by ';'. Text is turned
%   into "PS.num" by the command-line program: `zormix convert in.txt -o PS.num`. The program is
%   looked for in the 'cli' option, the ZORMIX_CLI environment variable, next to the module
%   zormix.mex (and in src/cli below it), and on the PATH.
%
%   The system is written into a fresh temporary folder, the module is called there, and the
%   folder is removed again; the current folder of the session does not change.
%
%   'route'    'polyhedral' (default) or 'totaldegree'; 'mode' passes a number to the module
%              instead (its value truncated toward zero equal to 2 selects the total degree).
%   'seed'     a non-negative integer: the solve is repeatable (sets ZORMIX_SEED for the call).
%   'threads'  number of path-tracking threads, 0 for one per core (sets ZORMIX_THREADS).
%   'variables'  for POLYNOMIALS only: cell array fixing the variable order (default: order of
%              first appearance in the text).
%
%   ROOTS is n x count: the accepted roots, one per column, variables in the file's order.
%   INFO has the fields
%     nroots            number of roots returned (columns of ROOTS)
%     npaths            number of homotopy paths (mixed volume or Bezout number)
%     residues          1 x count, Euclidean norm of the system at each root
%     conditionNumbers  1 x count, condition number estimate of the Jacobian at each root
%     isReal            1 x count logical: max modulus M < 1e-7, or max |imag| < 1e-7 * M
%     variables         1 x n cell array of the variable names
%     report            text of the report file data.roots
%
%   See also ZORMIX_WRITE_PSNUM.

  [system, options] = parse_arguments(varargin);
  folder = tempname();
  if ~mkdir(folder)
    error('zormix_solve: cannot create the temporary folder %s', folder);
  end
  oldFolder = pwd();
  oldSeed = getenv('ZORMIX_SEED');
  oldThreads = getenv('ZORMIX_THREADS');
  restore = onCleanup(@() restore_session(oldFolder, folder, oldSeed, oldThreads));

  psnum = fullfile(folder, 'PS.num');
  if isfield(system, 'text')
    text = system.text;
    if ~isempty(options.variables)
      text = sprintf('variables %s;\n%s', strjoin(options.variables, ', '), text);
    end
    convert_text(text, folder, psnum, options.cli);
  else
    zormix_write_psnum(psnum, system.exponents, system.coefficients, system.termCounts, ...
                       system.names);
  end
  n = read_variable_count(psnum);
  if ~isempty(options.seed)
    setenv('ZORMIX_SEED', sprintf('%d', options.seed));
  end
  if ~isempty(options.threads)
    setenv('ZORMIX_THREADS', sprintf('%d', options.threads));
  end

  cd(folder);
  [nroots, npaths, stats, allRoots] = zormix(options.mode, zeros(1, n));
  report = fileread(fullfile(folder, 'data.roots'));
  cd(oldFolder);

  roots = allRoots(:, 1:nroots);
  info.nroots = nroots;
  info.npaths = npaths;
  info.residues = stats(1, 1:nroots);
  info.conditionNumbers = stats(2, 1:nroots);
  modulus = max(abs(roots), [], 1);
  info.isReal = modulus < 1e-7 | max(abs(imag(roots)), [], 1) < 1e-7 * modulus;
  info.variables = report_variables(report);
  info.report = report;
end

function [system, options] = parse_arguments(args)
  if isempty(args)
    error('zormix_solve: no system given; see help zormix_solve');
  end
  if iscell(args{1}) || ischar(args{1})
    text = args{1};
    if iscell(text)
      text = strjoin(cellfun(@(s) [strtrim(s) ';'], text(:).', 'UniformOutput', false), sprintf('\n'));
    end
    system.text = text;
    rest = args(2:end);
  else
    if numel(args) < 3
      error('zormix_solve: needs EXPONENTS, COEFFICIENTS and TERMCOUNTS');
    end
    system.exponents = args{1};
    system.coefficients = args{2};
    system.termCounts = args{3};
    system.names = {};
    rest = args(4:end);
    if ~isempty(rest) && iscell(rest{1})
      system.names = rest{1};
      rest = rest(2:end);
    end
  end
  options = struct('mode', 1, 'seed', [], 'threads', [], 'cli', '', 'variables', {{}});
  if mod(numel(rest), 2) ~= 0
    error('zormix_solve: options come in name, value pairs');
  end
  for k = 1:2:numel(rest)
    name = lower(rest{k});
    value = rest{k + 1};
    switch name
      case 'route'
        switch lower(value)
          case {'polyhedral', 'poly'}
            options.mode = 1;
          case {'totaldegree', 'total-degree', 'total_degree'}
            options.mode = 2;
          otherwise
            error('zormix_solve: unknown route ''%s'' (use ''polyhedral'' or ''totaldegree'')', value);
        end
      case 'mode'
        options.mode = value;
      case 'seed'
        check_count(value, 'seed');
        options.seed = value;
      case 'threads'
        check_count(value, 'threads');
        options.threads = value;
      case 'cli'
        options.cli = value;
      case 'variables'
        if ischar(value)
          value = {value};
        end
        if ~iscellstr(value) || ~isfield(system, 'text')
          error('zormix_solve: ''variables'' takes a cell array of names and goes with polynomials as text');
        end
        options.variables = value;
      otherwise
        error('zormix_solve: unknown option ''%s''', rest{k});
    end
  end
end

function check_count(value, name)
  if ~isnumeric(value) || ~isscalar(value) || value < 0 || value ~= fix(value)
    error('zormix_solve: ''%s'' must be a non-negative integer', name);
  end
end

function convert_text(text, folder, psnum, cli)
  cli = find_cli(cli);
  input = fullfile(folder, 'system.txt');
  fid = fopen(input, 'w');
  if fid < 0
    error('zormix_solve: cannot write %s', input);
  end
  fprintf(fid, '%s\n', text);
  fclose(fid);
  command = sprintf('"%s" convert "%s" -o "%s" 2>&1', cli, input, psnum);
  [status, output] = system(command);
  if status ~= 0
    error('zormix_solve: the polynomials could not be converted:\n%s', strtrim(output));
  end
end

function cli = find_cli(given)
  if ~isempty(given)
    cli = given;
    return;
  end
  name = 'zormix';
  if ispc()
    name = 'zormix.exe';
  end
  candidates = {getenv('ZORMIX_CLI')};
  moduleFolder = fileparts(which('zormix'));
  if ~isempty(moduleFolder)
    candidates{end + 1} = fullfile(moduleFolder, name);
    candidates{end + 1} = fullfile(moduleFolder, 'src', 'cli', name);
    candidates{end + 1} = fullfile(moduleFolder, 'bin', name);
  end
  for k = 1:numel(candidates)
    if ~isempty(candidates{k}) && exist(candidates{k}, 'file') == 2
      cli = candidates{k};
      return;
    end
  end
  [status, output] = system('command -v zormix');
  if status == 0 && ~isempty(strtrim(output))
    cli = strtrim(output);
    return;
  end
  error(['zormix_solve: the command-line program zormix was not found (needed for ' ...
         'polynomials given as text); pass it with ''cli'' or set ZORMIX_CLI']);
end

function n = read_variable_count(psnum)
  % The first value of "PS.num" is the number of variables.
  fid = fopen(psnum, 'r');
  if fid < 0
    error('zormix_solve: cannot read %s', psnum);
  end
  n = fscanf(fid, '%d', 1);
  fclose(fid);
  if isempty(n) || n < 1
    error('zormix_solve: %s does not start with a number of variables', psnum);
  end
end

function names = report_variables(report)
  % The names listed after " The order of variables : ", one per line, up to the empty line.
  lines = regexp(report, '\r?\n', 'split');
  start = find(~cellfun(@isempty, strfind(lines, 'The order of variables')), 1);
  names = {};
  if isempty(start)
    return;
  end
  for k = start + 1:numel(lines)
    name = strtrim(lines{k});
    if isempty(name)
      break;
    end
    names{end + 1} = name; %#ok<AGROW>
  end
end

function restore_session(oldFolder, folder, oldSeed, oldThreads)
  cd(oldFolder);
  setenv('ZORMIX_SEED', oldSeed);
  setenv('ZORMIX_THREADS', oldThreads);
  if exist(folder, 'dir')
    if exist('OCTAVE_VERSION', 'builtin')
      % Octave asks before a recursive rmdir unless told not to; MATLAB has no such setting.
      confirm = confirm_recursive_rmdir(false);
      rmdir(folder, 's');
      confirm_recursive_rmdir(confirm);
    else
      rmdir(folder, 's');
    end
  end
end
