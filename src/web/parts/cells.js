function cell(tr, cls) {
  const td = document.createElement("td");
  if (cls) td.className = cls;
  tr.appendChild(td);
  return td;
}

function iconButton(cls, title, action) {
  const b = document.createElement("button");
  b.type = "button";
  b.className = "ib " + cls;
  b.title = title;
  b.setAttribute("aria-label", title);
  b.addEventListener("click", action);
  return b;
}
