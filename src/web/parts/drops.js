function carriesFiles(e) {
  return !!(e.dataTransfer && Array.from(e.dataTransfer.types || []).indexOf("Files") >= 0);
}

function wireDrops() {
  const dz = $("dropzone");
  dz.addEventListener("dragover", function (e) { e.preventDefault(); dz.classList.add("dragover"); });
  dz.addEventListener("dragleave", function (e) { e.preventDefault(); dz.classList.remove("dragover"); });
  dz.addEventListener("drop", function (e) {
    e.preventDefault();
    dz.classList.remove("dragover");
    if (!e.dataTransfer) return;
    // @if file_manager
    dropUpload(e.dataTransfer);
    // @else
    queueFiles(e.dataTransfer.files);
    // @end
  });
  // Files let go anywhere else must not make the browser open them.
  ["dragenter", "dragover", "drop"].forEach(function (type) {
    document.addEventListener(type, function (e) {
      if (!carriesFiles(e) || dz.contains(e.target)) return;
      e.preventDefault();
      if (e.dataTransfer) e.dataTransfer.dropEffect = "none";
    }, true);
  });
}
