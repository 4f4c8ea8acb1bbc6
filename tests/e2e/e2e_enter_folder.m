function cleanup = e2e_enter_folder()
%E2E_ENTER_FOLDER Move into a fresh temporary folder; it is left and removed when CLEANUP goes.
  folder = tempname();
  assert(mkdir(folder), 'cannot create %s', folder);
  oldFolder = pwd();
  cd(folder);
  cleanup = onCleanup(@() leave_folder(oldFolder, folder));
end

function leave_folder(oldFolder, folder)
  cd(oldFolder);
  confirm_recursive_rmdir(false);
  rmdir(folder, 's');
end
