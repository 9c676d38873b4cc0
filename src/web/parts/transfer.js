function showXfer(title, text, detail) {
  clearTimeout(xferTimer);
  xferTimer = null;
  $("xferTitle").textContent = title || "Transfer";
  $("xferBar").value = 0;
  $("xferText").textContent = text || "";
  $("xferDetail").textContent = detail || "";
  $("xferModal").classList.remove("modalHidden");
}

function updateXfer(pct, text, detail) {
  if (typeof pct === "number" && !isNaN(pct)) $("xferBar").value = Math.max(0, Math.min(100, pct));
  if (text !== undefined && text !== null) $("xferText").textContent = text;
  if (detail !== undefined && detail !== null) $("xferDetail").textContent = detail;
}

function finishXfer(text, detail, ms) {
  updateXfer(100, text, detail);
  clearTimeout(xferTimer);
  xferTimer = setTimeout(hideXfer, ms === undefined ? 1200 : ms);
}

function hideXfer() {
  clearTimeout(xferTimer);
  xferTimer = null;
  $("xferModal").classList.add("modalHidden");
}
