// Renaming in place: the entry's name turns into a text box until the new
// name is saved or the edit is left. While a box is open the listing is not
// redrawn, so a reload never throws away what is being typed.
function renameOpen() { return document.querySelector(".renameBox") !== null; }

function startRename(holder, folder, name, renamed) {
  if (holder.querySelector(".renameBox")) return;
  const before = Array.from(holder.childNodes);
  const box = document.createElement("form");
  box.className = "renameBox";
  const input = document.createElement("input");
  input.value = name;
  input.autocomplete = "off";
  input.spellcheck = false;
  input.setAttribute("aria-label", "New name for " + name);
  const save = document.createElement("button");
  save.type = "submit";
  save.className = "primary";
  save.textContent = "Save";
  const cancel = document.createElement("button");
  cancel.type = "button";
  cancel.textContent = "Cancel";
  const msg = document.createElement("div");
  msg.className = "renameMsg";
  msg.setAttribute("role", "alert");
  box.append(input, save, cancel, msg);

  let busy = false;
  const restore = function () { holder.replaceChildren(...before); };
  cancel.addEventListener("click", restore);
  input.addEventListener("keydown", function (e) {
    if (e.key !== "Escape") return;
    e.preventDefault();
    e.stopPropagation();
    restore();
  });
  box.addEventListener("submit", async function (e) {
    e.preventDefault();
    const newName = input.value.trim();
    if (busy) return;
    if (newName === "" || newName === name) { restore(); return; }
    busy = true;
    msg.textContent = "";
    try {
      await api("/api/rename", postJson({ path: folder, name: name, newName: newName }));
      restore();
      renamed(newName);
    } catch (err) {
      msg.textContent = (err && err.message) || "Failed to rename";
      input.focus();
    }
    busy = false;
  });
  holder.replaceChildren(box);
  input.focus();
  // The name without its extension is what people mostly change.
  const dot = name.lastIndexOf(".");
  input.setSelectionRange(0, dot > 0 ? dot : name.length);
}
