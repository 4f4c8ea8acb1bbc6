function e2e_write_text(filename, lines)
%E2E_WRITE_TEXT Write the cell array LINES to FILENAME, one per line.
  fid = fopen(filename, 'w');
  assert(fid >= 0, 'cannot write %s', filename);
  fprintf(fid, '%s\n', lines{:});
  fclose(fid);
end
