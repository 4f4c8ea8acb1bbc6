function varargout = zormix(varargin)
%ZORMIX All isolated complex roots of a square polynomial system read from PS.num (MEX module).
%
%   [NROOTS, NPATHS, STATS, ROOTS] = zormix(MODE, zeros(1, N))
%
%   Solves the system in the file "PS.num" of the current folder (N equations in N variables)
%   by homotopy continuation and writes the report "data.roots" there.
%
%   MODE    route: its first element truncated toward zero equal to 2 selects the total-degree
%           homotopy (2, 2.7); every other value the polyhedral homotopy (1, 1.99, -2).
%   input 2 any array with one column per variable of PS.num, e.g. zeros(1, N).
%
%   NROOTS  number of accepted roots returned (at most 500000).
%   NPATHS  number of paths: the mixed volume (polyhedral) or the Bezout number (total degree).
%   STATS   2 x 500000: residue and condition number of root j in column j; later columns are 0.
%   ROOTS   N x 500000 complex: root j in column j, variables in file order; later columns are 0.
%
%   The results always have 500000 columns (16 bytes per value of ROOTS): a system whose results
%   would exceed 2 GiB (N above 267) is refused before solving; use ZORMIX_SOLVE, which returns
%   exactly the roots found and takes the system in memory.
%
%   Environment variables (setenv('ZORMIX_SEED', '42')):
%     ZORMIX_SEED      decimal integer 0 ... 2^64-1: the solve is repeatable; unset: fresh entropy.
%     ZORMIX_THREADS   path-tracking threads, 0 or unset = one per core. Results do not depend on it.
%     ZORMIX_PROGRESS  1: progress lines in the console; 0 or unset: silent.
%
%   Ctrl-C stops the solve with the error zormix:interrupted; no report is written then. Every
%   error has an identifier (err.identifier), listed in docs/errors.md.
%
%   Example (x^2 + y^2 - 1 = 0, x - y = 0):
%     zormix_write_psnum('PS.num', [2 0; 0 2; 0 0; 1 0; 0 1], [1 1 -1 1 -1], [3 2], {'x', 'y'});
%     [nroots, npaths, stats, roots] = zormix(1, zeros(1, 2));
%     roots(:, 1:nroots)
%
%   See also ZORMIX_SOLVE, ZORMIX_WRITE_PSNUM.

% This file holds the help text. The MEX module zormix.mex in the same folder, or earlier on the
% path, takes precedence when zormix is called; this body runs only when the module is missing.
  error('zormix:moduleNotFound', ...
        ['the MEX module zormix.mex was not found before %s on the path; build it ' ...
         '(cmake --build build) and add its folder with an absolute path, e.g. ' ...
         'addpath(''/path/to/zormix/build'')'], mfilename('fullpath'));
end
