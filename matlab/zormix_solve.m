function [roots, info] = zormix_solve(varargin)
%ZORMIX_SOLVE Solve a square polynomial system given in memory; return the roots found.
%
%   [ROOTS, INFO] = zormix_solve(EXPONENTS, COEFFICIENTS, TERMCOUNTS)
%   [ROOTS, INFO] = zormix_solve(EXPONENTS, COEFFICIENTS, TERMCOUNTS, NAMES)
%   [ROOTS, INFO] = zormix_solve(POLYNOMIALS)
%   [...] = zormix_solve(..., 'route', 'polyhedral' | 'totaldegree')
%   [...] = zormix_solve(..., 'mode', MODE)
%   [...] = zormix_solve(..., 'seed', SEED)
%   [...] = zormix_solve(..., 'threads', THREADS)
%   [...] = zormix_solve(..., 'progress', true)
%   [...] = zormix_solve(..., 'report', true)
%   [...] = zormix_solve(..., 'certify', true)
%   [...] = zormix_solve(..., 'variables', NAMES)
%   S = zormix_solve(POLYNOMIALS, 'parameters', PNAMES)
%   [R, INFO] = zormix_solve(POLYNOMIALS, 'parameters', PNAMES, 'values', P)
%   [R, INFO] = zormix_solve(POLYNOMIALS, 'parameters', PNAMES, 'values', P, 'start', S)
%   [S, M] = zormix_solve(POLYNOMIALS, 'parameters', PNAMES, 'start', 'monodromy')
%   [S, M] = zormix_solve(POLYNOMIALS, 'parameters', PNAMES, 'start', 'monodromy', 'count', N)
%
%   EXPONENTS, COEFFICIENTS, TERMCOUNTS and NAMES are as in ZORMIX_WRITE_PSNUM (one row of
%   EXPONENTS per term). POLYNOMIALS is the system written as text: a cell array of equations
%   such as {'x^2 + y^2 - 1', 'x - y'}, a string array ["x^2 + y^2 - 1", "x - y"], or one text
%   with the equations separated by ';' (or by line breaks). A text in PHCpack's format (a first
%   line with the number of polynomials, each ended by ';', e.g. fileread('cyclic5.phc')) is read
%   as PHCpack reads it. A char matrix is refused: its rows are padded with blanks; pass a cell
%   array instead. Errors in the text name the equation and the column: "equation 2, column 5:
%   unexpected character '$'".
%
%   The system goes to the MEX function zormix_solve_mex in memory: no file is written and the
%   current folder does not change, so relative and absolute path entries both work.
%
%   'route'    'polyhedral' (default) or 'totaldegree' (also 'total-degree'); 'mode' passes a
%              number instead (its value truncated toward zero equal to 2 selects the total
%              degree).
%   'seed'     a non-negative integer, or a decimal string for seeds above 2^53: the solve is
%              repeatable. Default: fresh entropy; INFO.seed tells which seed was used.
%   'threads'  path-tracking threads, 0 (default) for one per core. Results do not depend on it.
%   'progress' true: progress lines in the console while solving (default false).
%   'report'   true: INFO.report holds the text of the report ("data.roots" of the module).
%   'certify'  true: prove the regular roots by Krawczyk's interval test (default false). A value
%              other than true, false, 1 or 0 is refused (zormix:badArgument).
%   'variables'  for POLYNOMIALS only: cell array fixing the variable order, which is the order
%              of the rows of ROOTS (default: order of first appearance in the text; INFO.variables
%              tells it).
%   'maxPaths' the most homotopy paths to track (default: as many as the available memory
%              holds); a system with more is refused before tracking (zormix:outOfMemory).
%
%   'parameters'  for POLYNOMIALS only: a family. The names in PNAMES (cell array) are parameters,
%              and coefficients may be polynomials in them, e.g. '(a^2 - 2*b)*x*y'. The family is
%              solved at random complex parameters (the start S, a struct: parameters, p0, roots,
%              multiplicity, seed, npaths, and file, a function giving the start file's text:
%              S.file()); with 'values' every row of P (members x
%              parameters, real or complex) is then solved from S by a parameter homotopy, and
%              R is a 1 x members cell array of root matrices, INFO a 1 x members struct array of
%              the fields below (route 'parameter') plus instance, parameters, solved (false:
%              error says why),
%              flagged (paths were lost and the member re-tracked) and gammaAttempts. 'start', S
%              reuses a start of the same family instead of solving one (docs/parameters.md).
%              'start', 'monodromy' finds the start by monodromy loops from one root instead of a
%              start solve (docs/monodromy.md): far fewer paths when the family has far fewer
%              roots than a start solve has paths. Without 'values' the second output M tells
%              what the loops did: solutionCount, traceTestPassed (the roots are proved
%              complete), traceTest ('passed', 'not passed', 'not run', 'not applicable'),
%              traceResidual, stop ('count', 'trace test', 'stable', 'loop limit'), loops,
%              npaths, seconds. 'count', N (the roots of a generic member, when known) stops the
%              loops at N roots; then no trace test is run.
%
%   ROOTS is n x count: the accepted roots, one per column, variables in the system's order.
%   INFO has the fields
%     nroots            number of roots (columns of ROOTS)
%     npaths            number of homotopy paths (mixed volume or Bezout number)
%     residues          1 x count, Euclidean norm of the system at each root
%     conditionNumbers  1 x count, condition number estimate of the Jacobian at each root
%     isReal            1 x count logical: a real root, regular and real (every imaginary part
%                       below 1e-7 of the largest modulus); real(ROOTS(:, INFO.isReal)) are the
%                       real roots, as counted by classes.realRegular and the summary
%     isRealPoint       1 x count logical: the point is real, whatever its status (singular
%                       points and points on sets too; the report's "real roots")
%     variables         1 x n cell array of the variable names: the order of the rows of ROOTS
%     seed              the seed used, as decimal text
%     route             'polyhedral' or 'totaldegree'
%     failures          struct array of the failed paths, whose verdict is unknown: status
%                       ('step_underflow', 'step_limit', 'refused_at_target', ...), cell,
%                       startIndex
%     atInfinityPaths   struct array of the paths found to diverge: status, cell, startIndex,
%                       valuation (the largest coordinate grows like (1 - t)^valuation)
%     counts            path counts: endPoints, blowUps, rescued, ..., byStatus
%     timings           seconds per stage: mixedCells, tracking, finishing, classification,
%                       certification
%     report            text of the report, with 'report', true only
%   Classification, one entry per root (column of ROOTS):
%     rootStatus        1 x count cell: 'regular' (simple: Newton converges quadratically or an
%                       interval test proves it), 'singular' (singular Jacobian, or reached by
%                       several paths) or 'positive-dimensional' (on a curve, surface, ...)
%     multiplicity      1 x count, end points at the root's point (1 for a regular root); the
%                       columns of one singular point all appear in ROOTS
%     groupLeader       1 x count, the first column of ROOTS at the same point
%     scaledConditionNumbers  1 x count, condition number of the Jacobian scaled by the sizes of
%                       the terms and of the variables: the measure that classifies the roots
%     localDimension    1 x count, dimension of the solution set through the end point (0:
%                       isolated)
%     windingNumber     1 x count, the end game's cycle number (0 unknown, 1 ordinary end)
%     classes           counts: regular, singular (distinct singular points), singularEndPoints
%                       (their multiplicities summed), realRegular, atInfinity (paths found to
%                       diverge), failed (the other paths without an end point: verdict unknown),
%                       rescued, positiveDimensional (end points on sets of dimension >= 1). Every
%                       path is counted once: regular + singularEndPoints + positiveDimensional
%                         + atInfinity + failed = npaths
%     summary           the one-line summary the zormix command prints
%     text              the summary lines, the variables and the first roots for people
%                       (disp(INFO.text)): a part of a coordinate below the root's accuracy
%                       shows as 0 (ROOTS keeps the values as computed)
%   Certification, with 'certify', true (otherwise the per-root fields are 1 x 0 and n x 0):
%     certified         1 x count logical: a box around the root holds exactly one root, which
%                       is regular (only regular roots are tried)
%     certifiedReal     1 x count logical: and that root is real
%     boxLower, boxUpper  n x count complex: the box is every z with real(boxLower) <= real(z) <=
%                       real(boxUpper) and the same for imag; NaN for a root without certificate
%     certification     run (true when asked for), certified, distinct (groups of overlapping
%                       boxes: a proven count of distinct roots), real (certified roots proven real)
%
%   Ctrl-C stops the solve with the error zormix:interrupted. Errors carry identifiers
%   zormix:... (err.identifier), listed in docs/errors.md.
%
%   The words (regular, singular, positive-dimensional, at infinity, failed) mean what they mean
%   in the zormix command's summary, its JSON and Python (docs/cli.md, "The counters").
%
%   Example:
%     [r, info] = zormix_solve({'x^2 + y^2 - 1', 'x - y'}, 'seed', 1);
%     disp(info.text)                                        % the summary and the roots
%     [r, info] = zormix_solve({'x^2 + y^2 - 1', 'x - y'}, 'certify', true);
%     info.certification.distinct   % 2: two roots, proven distinct
%
%   See also ZORMIX_WRITE_PSNUM, ZORMIX, ZORMIX_SOLVE_MEX.

  [system, options] = parse_arguments(varargin);
  if isfield(options, 'parameters')
    try
      [roots, info] = solve_family(system, options);
    catch err
      rethrow_as_own(err);
    end
    return;
  end
  try
    if isfield(system, 'equations')
      result = zormix_solve_mex(system.equations, options);
    else
      result = zormix_solve_mex(system.exponents, system.coefficients, system.termCounts, ...
                                system.names, options);
    end
  catch err
    rethrow_as_own(err);
  end
  roots = result.roots;
  fields = {'nroots', 'npaths', 'residues', 'conditionNumbers', 'isReal', 'isRealPoint', ...
            'variables', 'seed', 'route', 'failures', 'atInfinityPaths', 'counts', ...
            'rootStatus', 'multiplicity', 'groupLeader', 'scaledConditionNumbers', 'classes', ...
            'certified', 'certifiedReal', 'boxLower', 'boxUpper', 'certification', 'timings', ...
            'localDimension', 'windingNumber', 'summary', 'text', 'report'};
  info = struct();
  for k = 1:numel(fields)
    if isfield(result, fields{k})
      info.(fields{k}) = result.(fields{k});
    end
  end
end

function [roots, info] = solve_family(system, options)
  if ~isfield(system, 'equations')
    error('zormix:badArgument', ...
          'zormix_solve: ''parameters'' goes with polynomials given as text');
  end
  result = zormix_solve_mex(system.equations, options);
  if ~isfield(options, 'values')
    roots = compact_start(result.start);
    info = roots;
    if isfield(result, 'monodromy')
      info = result.monodromy;
    end
    return;
  end
  members = result.members;
  roots = cellfun(@(m) m.roots, members, 'UniformOutput', false);
  info = [members{:}];
end

function [system, options] = parse_arguments(args)
  if isempty(args)
    error('zormix:badArgument', 'zormix_solve: no system given; see help zormix_solve');
  end
  if ischar(args{1}) || isa(args{1}, 'string') || iscell(args{1})
    system.equations = equations_of(args{1});
    rest = args(2:end);
  else
    if numel(args) < 3
      error('zormix:badArgument', 'zormix_solve: needs EXPONENTS, COEFFICIENTS and TERMCOUNTS');
    end
    system.exponents = double(args{1});
    system.coefficients = double(args{2});
    system.termCounts = double(args{3});
    system.names = {};
    rest = args(4:end);
    if ~isempty(rest) && (iscell(rest{1}) || isa(rest{1}, 'string'))
      system.names = text_cell(rest{1}, 'NAMES');
      rest = rest(2:end);
    end
  end
  options = parse_options(rest, isfield(system, 'equations'));
end

function options = parse_options(rest, isText)
  options = struct();
  if mod(numel(rest), 2) ~= 0
    error('zormix:badArgument', 'zormix_solve: options come in name, value pairs');
  end
  for k = 1:2:numel(rest)
    if ~is_text(rest{k})
      error('zormix:badArgument', 'zormix_solve: option names are text');
    end
    name = lower(char(rest{k}));
    value = rest{k + 1};
    if isa(value, 'string')
      value = char(value);
    end
    switch name
      case 'route'
        options.route = route_of(value);
      case 'mode'
        options.route = value;
      case {'seed', 'threads', 'progress', 'report', 'certify', 'values', 'count'}
        options.(name) = value;
      case 'start'
        options.start = start_for_mex(value);
      case 'maxpaths'
        options.maxPaths = value;
      case 'parameters'
        options.parameters = text_cell(value, '''parameters''');
      case 'variables'
        if ~isText
          error('zormix:badArgument', ...
                'zormix_solve: ''variables'' goes with polynomials given as text');
        end
        options.variables = text_cell(value, '''variables''');
      otherwise
        error('zormix:unknownOption', 'zormix_solve: unknown option ''%s''', name);
    end
  end
end

% The start with its file's text behind a function, so that displaying S shows the roots and not
% the whole file.
function S = compact_start(S)
  text = S.file;
  S.file = @() text;
end

function S = start_for_mex(S)
  if isstruct(S) && isscalar(S) && isfield(S, 'file') && isa(S.file, 'function_handle')
    S.file = S.file();
  end
end

% The MEX function's errors, raised again as this function's: the host puts the name of the
% function that raised an error before its message, and the caller called zormix_solve.
function rethrow_as_own(err)
  message = regexprep(err.message, '^(error: )?zormix_solve_mex: ', '');
  if ~strncmp(message, 'zormix_solve: ', 14)
    message = ['zormix_solve: ' message];
  end
  rethrow(struct('message', message, 'identifier', err.identifier, 'stack', err.stack));
end

function route = route_of(value)
  if ~is_text(value)
    error('zormix:badArgument', ['zormix_solve: option ''route'' must be text, ''polyhedral'' ' ...
          'or ''totaldegree'', not a %s (the option ''mode'' takes the module''s number)'], ...
          class(value));
  end
  switch lower(char(value))
    case {'polyhedral', 'poly'}
      route = 'polyhedral';
    case {'totaldegree', 'total-degree', 'total_degree'}
      route = 'totaldegree';
    otherwise
      error('zormix:badArgument', ...
            'zormix_solve: unknown route ''%s'' (use ''polyhedral'' or ''totaldegree'')', value);
  end
end

function yes = is_text(value)
  yes = (ischar(value) && size(value, 1) <= 1) || (isa(value, 'string') && isscalar(value));
end

% Equations as a cell row of char rows, one equation per cell.
function equations = equations_of(value)
  if ischar(value) && size(value, 1) > 1
    error('zormix:badArgument', ['zormix_solve: POLYNOMIALS is a char matrix of %d rows; ' ...
          'pass a cell array of equations such as {''x^2 - 1'', ''y - x''} instead'], size(value, 1));
  end
  if is_text(value)
    text = char(value);
    if any(text == ';')
      equations = strsplit(text, ';');
    else
      equations = regexp(text, '\r?\n', 'split');
    end
    equations = equations(~cellfun(@(e) isempty(strtrim(e)), equations));
  else
    equations = text_cell(value, 'POLYNOMIALS');
  end
end

function texts = text_cell(value, what)
  if isa(value, 'string')
    value = cellstr(value);
  elseif ischar(value)
    value = {value};
  end
  if ~iscell(value)
    error('zormix:badArgument', 'zormix_solve: %s must be a cell array of text', what);
  end
  texts = cell(1, numel(value));
  for k = 1:numel(value)
    item = value{k};
    if isa(item, 'string')
      item = char(item);
    end
    if ~ischar(item) || size(item, 1) > 1
      error('zormix:badArgument', 'zormix_solve: element %d of %s is not one line of text', ...
            k, what);
    end
    texts{k} = item;
  end
end
