function [d, info] = zormix_decompose(equations, varargin)
%ZORMIX_DECOMPOSE Break the solution set of a polynomial system into irreducible components.
%
%   D = zormix_decompose(EQUATIONS)
%   D = zormix_decompose(..., 'seed', SEED)
%   D = zormix_decompose(..., 'threads', THREADS)
%   D = zormix_decompose(..., 'topDimension', TOP)
%   D = zormix_decompose(..., 'member', POINTS)
%   D = zormix_decompose(..., 'progress', true)
%   [D, INFO] = zormix_decompose(...)
%
%   EQUATIONS: a cell array of equations such as {'x*y', 'x*z'}, a string array, or one text with
%   the equations separated by ';'. Any number of equations in the unknowns (an overdetermined
%   system is combined at random to n equations, and D.randomized says so).
%
%   D.components is a struct array, one element per irreducible component of positive
%   dimension, with the fields dimension, degree, multiplicity (> 1: non-reduced), points
%   (n x degree complex: the witness points), slice (dimension x n) and constants (dimension x 1)
%   of the slicing plane slice * x + constants = 0, trace_residual and trace_test_passed.
%   D.isolated (n x k complex) holds the isolated points; D.regular_count, D.singular_count,
%   D.singular_end_point_count, D.at_infinity_count, D.failed_count count them as zormix_solve
%   does, D.embedded_count the singular points found on components. D.summary is one line, e.g.
%   "dimension 2: 1 component of degree 1 · dimension 1: 1 component of degree 1".
%
%   'member' POINTS (one point a row, real or complex): D.membership{k} lists the components
%   (indices into D.components) on which point k lies, by the homotopy membership test.
%   'seed' a non-negative integer or a decimal string: the decomposition is repeatable, whatever
%   'threads' (0, the default, = one per core). 'topDimension' (default: unknowns - 1) is the
%   highest dimension examined. INFO is the whole decoded JSON document (docs/decompose.md).
%
%   Example:
%     d = zormix_decompose({'x*y', 'x*z'}, 'seed', 1);
%     disp(d.summary)   % the plane x = 0 and the line y = z = 0
if ischar(equations)
  text = equations;
elseif iscellstr(equations) || isa(equations, 'string')
  text = strjoin(cellstr(equations), ';\n');
  text = strrep(text, '\n', char(10));
else
  error('zormix:badArgument', 'EQUATIONS must be a cell array of equations or a text');
end
seed = '';
threads = 0;
top = -1;
member = [];
progress = false;
if mod(numel(varargin), 2) ~= 0
  error('zormix:badArgument', 'options come as name, value pairs');
end
for k = 1:2:numel(varargin)
  name = varargin{k};
  value = varargin{k + 1};
  switch lower(name)
    case 'seed'
      if ischar(value) || isa(value, 'string')
        seed = char(value);
      elseif isnumeric(value) && isscalar(value) && value >= 0 && value == floor(value)
        seed = sprintf('%.0f', value);
      else
        error('zormix:badArgument', '''seed'' must be a non-negative integer');
      end
    case 'threads'
      threads = double(value);
    case 'topdimension'
      top = double(value);
    case 'member'
      member = double(value);
    case 'progress'
      progress = logical(value);
    otherwise
      error('zormix:unknownOption', 'unknown option ''%s''', name);
  end
end
info = jsondecode(zormix_decompose_mex(text, seed, threads, top, member, progress));
d = struct();
d.summary = info.summary;
d.seed = info.seed_text;
d.randomized = info.randomized;
d.components = struct('dimension', {}, 'degree', {}, 'multiplicity', {}, 'points', {}, ...
                      'slice', {}, 'constants', {}, 'trace_residual', {}, ...
                      'trace_test_passed', {});
components = info.components;
if ~iscell(components)
  components = num2cell(components);
end
for k = 1:numel(components)
  c = components{k};
  d.components(k).dimension = c.dimension;
  d.components(k).degree = c.degree;
  d.components(k).multiplicity = c.multiplicity;
  d.components(k).points = to_complex(c.witness_points, c.degree).';
  d.components(k).slice = to_complex(c.slice.coefficients, c.dimension);
  d.components(k).constants = to_complex(c.slice.constants, c.dimension);
  d.components(k).trace_residual = c.trace_residual;
  d.components(k).trace_test_passed = c.trace_test_passed;
end
isolated = info.isolated_points;
if isempty(isolated)
  d.isolated = zeros(numel(info.variables), 0);
else
  if ~iscell(isolated)
    isolated = num2cell(isolated);
  end
  d.isolated = zeros(numel(info.variables), numel(isolated));
  for k = 1:numel(isolated)
    d.isolated(:, k) = to_complex(isolated{k}.values, 1).';
  end
end
for name = {'regular_count', 'real_regular_count', 'singular_count', ...
            'singular_end_point_count', 'positive_dimensional_count', 'embedded_count', ...
            'extraneous_count', 'at_infinity_count', 'failed_count'}
  d.(name{1}) = info.(name{1});
end
d.membership = {};
if isfield(info, 'membership')
  m = info.membership;
  if ~iscell(m)
    m = num2cell(m);
  end
  for k = 1:numel(m)
    % The JSON numbers components from 0; D.membership indexes D.components.
    d.membership{k} = reshape(double(m{k}.components), 1, []) + 1;
  end
end
end

function z = to_complex(pairs, rows)
% [re, im] pairs as jsondecode gives them (rows x n x 2, or n x 2 for one row) -> rows x n complex.
a = double(pairs);
if ndims(a) == 3
  z = complex(a(:, :, 1), a(:, :, 2));
else
  z = complex(a(:, 1), a(:, 2)).';
end
z = reshape(z, rows, []);
end
