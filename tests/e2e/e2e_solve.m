function [nroots, npaths, stats, roots] = e2e_solve(mode, n)
%E2E_SOLVE Call the module on the "PS.num" of the current folder with an n-column input 2.
  [nroots, npaths, stats, roots] = zormix(mode, zeros(1, n));
end
