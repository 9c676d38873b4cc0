// A listing's modification time (seconds since 1970) as this browser writes
// a short local date and time; nothing when the listing has none.
const dateFormat = new Intl.DateTimeFormat(undefined, { dateStyle: "short", timeStyle: "short" });

function fmtDate(seconds) {
  if (seconds === undefined || seconds === null || seconds === "") return "";
  const s = Number(seconds);
  return isFinite(s) ? dateFormat.format(new Date(s * 1000)) : "";
}
