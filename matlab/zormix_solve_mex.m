function varargout = zormix_solve_mex(varargin)
%ZORMIX_SOLVE_MEX Solve a polynomial system given in memory; return the results in a struct (MEX).
%
%   RESULT = zormix_solve_mex(EXPONENTS, COEFFICIENTS, TERMCOUNTS, NAMES, OPTIONS)
%   RESULT = zormix_solve_mex(EQUATIONS, OPTIONS)
%
%   The engine of ZORMIX_SOLVE, which checks and converts its arguments; call that instead.
%   EXPONENTS (m x n double, one row per term), COEFFICIENTS (m real or complex doubles),
%   TERMCOUNTS (n terms per equation) and NAMES (cell array of n names, or {} for x1 ... xn) are
%   as in ZORMIX_WRITE_PSNUM. EQUATIONS is a cell array of char rows, one equation per cell.
%   OPTIONS is a struct (or []) with the optional fields
%     route      'polyhedral' (default) | 'totaldegree', or the module's mode number
%     seed       a non-negative integer, or a decimal string up to 18446744073709551615
%     threads    path-tracking threads, 0 (default) = one per core
%     progress   true: progress lines in the console
%     report     true: RESULT.report holds the report text
%     certify    true: certify the regular roots by Krawczyk's interval test (default false)
%     variables  cell array of names fixing the variable order of EQUATIONS
%
%   RESULT has the fields roots (n x count), residues, conditionNumbers, isReal, nroots, npaths,
%   ncells, pathStatuses (status names of the paths without an end point), failures (struct
%   array: status, cell, startIndex of those paths; status 'diverged' for a path to infinity),
%   counts (path counts; counts.byStatus by final status), seed (decimal text), route, variables;
%   the classification per root: rootStatus ('regular', 'singular' or 'positive-dimensional'),
%   multiplicity, scaledConditionNumbers, groupLeader (first column at the same point),
%   localDimension, windingNumber, and classes (regular, singular, singularEndPoints,
%   realRegular, atInfinity, failed, rescued, positiveDimensional, with regular +
%   singularEndPoints + positiveDimensional + atInfinity + failed = npaths), summary (the
%   command's summary line); the certification: certified and
%   certifiedReal (1 x count logical; 1 x 0 unless certify is true), boxLower and boxUpper (n x
%   count complex corners of the certified boxes, NaN without a certificate), certification
%   (run, certified, distinct, real); timings (seconds: mixedCells, tracking, finishing,
%   classification, certification); and report when asked. ZORMIX_SOLVE's help describes each
%   field. Nothing is read from or written to files. Ctrl-C stops the solve with the error
%   zormix:interrupted.
%
%   See also ZORMIX_SOLVE, ZORMIX.

% Help text only: the MEX function zormix_solve_mex beside this file takes precedence.
  error('zormix:moduleNotFound', ...
        ['the MEX function zormix_solve_mex was not found before %s on the path; build it ' ...
         '(cmake --build build) and add its folder with an absolute path'], mfilename('fullpath'));
end
