function updateFileLabel() {
  const files = Array.from($("files").files || []);
  let text = "No files selected";
  if (files.length === 1) text = files[0].name;
  else if (files.length > 1) text = files.length + " files selected (" + mb(totalSize(files)) + " MB)";
  $("fileLabel").textContent = text;
}
