function zormix_write_psnum(filename, exponents, coefficients, termCounts, names)
%ZORMIX_WRITE_PSNUM Write a square polynomial system as a "PS.num" file for the zormix module.
%
%   zormix_write_psnum(FILENAME, EXPONENTS, COEFFICIENTS, TERMCOUNTS)
%   zormix_write_psnum(FILENAME, EXPONENTS, COEFFICIENTS, TERMCOUNTS, NAMES)
%
%   The system has n equations in n variables and m terms in all.
%
%   EXPONENTS     m x n matrix of non-negative integers, ONE ROW PER TERM: row p holds the
%                 exponents of variables 1..n in term p. The terms of equation 1 come first,
%                 then those of equation 2, and so on.
%   COEFFICIENTS  vector of m real or complex numbers; entry p is the coefficient of term p.
%   TERMCOUNTS    vector of n positive integers: the number of terms of each equation, in
%                 order; they add up to m.
%   NAMES         optional cell array (or string array) of n variable names (default {'x1', ..., 'xn'}). The
%                 solver keeps the first 20 characters of a name; quotes are not allowed.
%
%   Example (x^2 + y^2 - 1 = 0, x - y = 0):
%     zormix_write_psnum('PS.num', [2 0; 0 2; 0 0; 1 0; 0 1], [1 1 -1 1 -1], [3 2], {'x', 'y'})
%
%   Errors have the identifiers zormix:badArgument and zormix:cannotWrite.
%
%   See also ZORMIX_SOLVE, ZORMIX.

  if nargin < 4
    error('zormix:badArgument', 'zormix_write_psnum: needs FILENAME, EXPONENTS, COEFFICIENTS and TERMCOUNTS');
  end
  termCounts = termCounts(:).';
  n = numel(termCounts);
  if n < 1
    error('zormix:badArgument', 'zormix_write_psnum: TERMCOUNTS is empty; the system needs at least one equation');
  end
  if any(termCounts < 1) || any(termCounts ~= fix(termCounts))
    error('zormix:badArgument', 'zormix_write_psnum: TERMCOUNTS must hold positive integers (terms per equation)');
  end
  m = sum(termCounts);
  % EXPONENTS and COEFFICIENTS that agree with each other (m terms in n variables) but not with
  % TERMCOUNTS: the counts are the ones to fix.
  if isnumeric(exponents) && ismatrix(exponents) && isnumeric(coefficients) && ...
     numel(coefficients) == size(exponents, 1) && ~isequal(size(exponents), [m n])
    error('zormix:badArgument', ['zormix_write_psnum: TERMCOUNTS must hold %d counts (one per ' ...
          'equation) adding up to %d (the terms of EXPONENTS and COEFFICIENTS), got %s'], ...
          size(exponents, 2), size(exponents, 1), mat2str(termCounts));
  end
  if ~isnumeric(exponents) || ~isequal(size(exponents), [m n])
    error('zormix:badArgument', 'zormix_write_psnum: EXPONENTS must be %d x %d (one row per term, one column per variable), got %s', ...
          m, n, mat2str(size(exponents)));
  end
  if any(exponents(:) < 0) || any(exponents(:) ~= fix(exponents(:))) || any(~isfinite(exponents(:)))
    error('zormix:badArgument', 'zormix_write_psnum: EXPONENTS must hold non-negative integers');
  end
  if ~isnumeric(coefficients) || numel(coefficients) ~= m
    error('zormix:badArgument', 'zormix_write_psnum: COEFFICIENTS must hold %d numbers (one per term), got %d', ...
          m, numel(coefficients));
  end
  if any(~isfinite(coefficients(:)))
    error('zormix:badArgument', 'zormix_write_psnum: COEFFICIENTS must be finite');
  end
  if nargin < 5 || isempty(names)
    names = arrayfun(@(k) sprintf('x%d', k), 1:n, 'UniformOutput', false);
  end
  if ischar(names) || isa(names, 'string')
    names = cellstr(names);
  end
  if ~iscellstr(names) || numel(names) ~= n
    error('zormix:badArgument', 'zormix_write_psnum: NAMES must be a cell array of %d strings', n);
  end
  % Two variables of one name (also once cut to the 20 characters the solver keeps) would be one.
  kept = cellfun(@(name) strtrim(name(1:min(end, 20))), names, 'UniformOutput', false);
  [~, first] = unique(kept, 'stable');
  if numel(first) < n
    twice = setdiff(1:n, first);
    error('zormix:badArgument', ['zormix_write_psnum: NAMES holds ''%s'' twice (in its first 20 ' ...
          'characters); every variable needs a name of its own'], kept{twice(1)});
  end

  fid = fopen(filename, 'w');
  if fid < 0
    error('zormix:cannotWrite', 'zormix_write_psnum: cannot open "%s" for writing', filename);
  end
  closer = onCleanup(@() fclose(fid));
  fprintf(fid, '%d\n', n);
  fprintf(fid, '%d\n', termCounts);
  fprintf(fid, [repmat('%d ', 1, n - 1) '%d\n'], exponents.');
  c = double(coefficients(:).');
  fprintf(fid, '(%.17g,%.17g)\n', [real(c); imag(c)]);
  for k = 1:n
    fprintf(fid, '%s\n', name_field(names{k}));
  end
end

function field = name_field(name)
  % A name with blanks, commas or slashes is quoted; any other is written as it is.
  name = strtrim(name);
  if isempty(name)
    error('zormix:badArgument', 'zormix_write_psnum: a variable name is empty');
  end
  if any(name == '''') || any(name == '"')
    error('zormix:badArgument', 'zormix_write_psnum: the variable name %s contains a quote', name);
  end
  if any(name == ' ' | name == ',' | name == '/' | name == sprintf('\t'))
    field = ['''' name ''''];
  else
    field = name;
  end
end
