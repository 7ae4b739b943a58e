#pragma once
// Under exact names a page's links are written before the answers of the addresses they
// lead to arrive. An answer may rename its address (another type than the link's place
// predicted, a redirect), and an address written out whole on one page (too deep there)
// may be stored from another. Before a crawl ends, the pages the link index names for
// such addresses are rewritten so that every link leads to the file the copy holds.

class CSite;

// Mends what the site's link index shows; returns how many stored files changed.
int MendStoredLinks(CSite& site);
