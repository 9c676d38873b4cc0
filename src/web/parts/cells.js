function cell(tr, cls) {
  const td = document.createElement("td");
  if (cls) td.className = cls;
  tr.appendChild(td);
  return td;
}

// Without an action the button is a model for rows, whose table listens for them all.
function iconButton(cls, title, action) {
  const b = document.createElement("button");
  b.type = "button";
  b.className = "ib " + cls;
  b.title = title;
  b.setAttribute("aria-label", title);
  if (action) b.addEventListener("click", action);
  return b;
}
