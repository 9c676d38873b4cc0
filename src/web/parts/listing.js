// A reload of the listing on screen names its tag; an unchanged folder then
// answers 304 without a body, and null comes back.
async function fetchListing(url, tag) {
  const res = await fetch(url, { cache: "no-store", headers: tag ? { "If-None-Match": tag } : {} });
  if (res.status === 304) return null;
  return { data: await answerOf(res), tag: res.headers.get("ETag") || "" };
}
