// Further actions of one entry, in a small menu under its "More actions"
// button, so that a phone's row keeps room for its name.
let entryMenuOpen = null;

function closeEntryMenu() {
  if (!entryMenuOpen) return;
  entryMenuOpen.remove();
  entryMenuOpen = null;
}

function openEntryMenu(anchor, items) {
  closeEntryMenu();
  const menu = document.createElement("div");
  menu.className = "entryMenu";
  menu.setAttribute("role", "menu");
  items.forEach(function (it) {
    const b = document.createElement("button");
    b.type = "button";
    b.setAttribute("role", "menuitem");
    b.textContent = it.label;
    b.addEventListener("click", function () {
      closeEntryMenu();
      it.action();
    });
    menu.appendChild(b);
  });
  document.body.appendChild(menu);
  // Under the button, or above it where the window ends; never past an edge.
  const r = anchor.getBoundingClientRect();
  const left = Math.max(4, Math.min(r.right - menu.offsetWidth, innerWidth - menu.offsetWidth - 4));
  let top = r.bottom + 4;
  if (top + menu.offsetHeight > innerHeight && r.top - menu.offsetHeight - 4 > 0) top = r.top - menu.offsetHeight - 4;
  menu.style.left = (left + scrollX) + "px";
  menu.style.top = (top + scrollY) + "px";
  entryMenuOpen = menu;
  menu.firstChild.focus();
}

function wireEntryMenu() {
  document.addEventListener("click", function (e) {
    if (entryMenuOpen && !entryMenuOpen.contains(e.target)) closeEntryMenu();
  });
  document.addEventListener("keydown", function (e) {
    if (e.key !== "Escape" || !entryMenuOpen) return;
    e.preventDefault();
    closeEntryMenu();
  });
  window.addEventListener("resize", closeEntryMenu);
}
