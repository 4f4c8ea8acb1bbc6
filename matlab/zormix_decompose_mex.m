function varargout = zormix_decompose_mex(varargin)
%ZORMIX_DECOMPOSE_MEX Decompose the solution set of a polynomial system (MEX).
%
%   JSON = zormix_decompose_mex(TEXT, SEED, THREADS, TOP, MEMBER, PROGRESS)
%
%   The engine of ZORMIX_DECOMPOSE, which checks and converts its arguments; call that instead.
%   TEXT holds the equations (separated by ';' or line breaks), SEED a decimal text (empty for
%   fresh entropy), THREADS a count (0 = one per core), TOP the highest dimension (-1: the
%   default), MEMBER points to test (one row each, or []), PROGRESS true or false. JSON is the
%   document of `zormix decompose --json` (docs/decompose.schema.json).
error('zormix:missingMex', 'zormix_decompose_mex.mex is not on the path: build zormix first');
end
