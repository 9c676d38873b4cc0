// Buttons name their action in data-action instead of an inline handler,
// which the pages' content security policy would refuse to run.
function wireActions(actions) {
  document.querySelectorAll("[data-action]").forEach(function (b) {
    b.addEventListener("click", function () { actions[b.dataset.action](); });
  });
}
