// Thumbnails load a few at a time: at most THUMBS_AT_ONCE requests are open,
// the others wait in the order they were asked for, and one that nobody
// wants any more (its tile scrolled away or gone) is dropped before it is
// ever requested. Each address is fetched once; whoever asks for it again
// joins the request under way or gets the answer at once. A tile shows a
// thumbnail only after it has arrived, from the browser's memory.
const THUMBS_AT_ONCE = 4;

function thumbLoader(limit) {
  const known = new Map();  // address -> whether it gave a picture
  const wanted = new Map();  // address -> the callbacks waiting for it, while it waits or loads
  const waiting = [];  // addresses not yet requested, oldest first
  let open = 0;

  function settle(url, ok) {
    known.set(url, ok);
    const callbacks = wanted.get(url);
    wanted.delete(url);
    if (callbacks) callbacks.forEach(function (cb) { cb(ok); });
  }

  // A callback may say whether its asker still exists (cb.live()).
  function stillWanted(url) {
    return Array.from(wanted.get(url) || []).some(function (cb) { return !cb.live || cb.live(); });
  }

  function pump() {
    while (open < limit && waiting.length) {
      const url = waiting.shift();
      if (!stillWanted(url)) {
        wanted.delete(url);
        continue;
      }
      open++;
      const img = new Image();
      let ended = false;
      const end = function (ok) {
        if (ended) return;
        ended = true;
        clearTimeout(timer);
        open--;
        settle(url, ok);
        pump();
      };
      // A request that never settles must not hold its place for ever.
      const timer = setTimeout(function () { end(false); }, 60000);
      img.onload = function () { end(img.naturalWidth > 0); };
      img.onerror = function () { end(false); };
      img.src = url;
    }
  }

  return {
    // cb(ok) runs once the address has given a picture (true) or not (false).
    want: function (url, cb) {
      if (known.has(url)) {
        cb(known.get(url));
        return;
      }
      let callbacks = wanted.get(url);
      if (!callbacks) {
        callbacks = new Set();
        wanted.set(url, callbacks);
        waiting.push(url);
      }
      callbacks.add(cb);
      pump();
    },
    drop: function (url, cb) {
      const callbacks = wanted.get(url);
      if (!callbacks) return;
      callbacks.delete(cb);
      const at = waiting.indexOf(url);
      if (callbacks.size === 0 && at >= 0) {
        waiting.splice(at, 1);
        wanted.delete(url);
      }
    },
  };
}
