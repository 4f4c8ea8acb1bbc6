function lines = e2e_circle_line()
%E2E_CIRCLE_LINE "PS.num" lines of x^2 + y^2 - 1 = 0, x - y = 0 (roots +-(1,1)/sqrt(2)).
  lines = {'2', '3', '2', '2 0', '0 2', '0 0', '1 0', '0 1', ...
           '(1.0,0.0)', '(1.0,0.0)', '(-1.0,0.0)', '(1.0,0.0)', '(-1.0,0.0)', 'x', 'y'};
end
