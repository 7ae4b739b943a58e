#pragma once
// What one run of a page's scripts leaves in the crawl: the addresses the page asked for,
// admitted as requisites of the page, and, for a snapshot, the page as the browser showed
// it, stored with its links rewritten like any stored page.

#include <cstddef>
#include <string>
#include <vector>

class CSite;
class CUrl;
struct CCopyRecord;

// Queues each address the page asked for that the site's rules admit for a file the page
// embeds (servers, directories, names, depth, robots.txt); a logout address is never
// queued in a crawl that sends cookies. Returns how many were queued.
std::size_t QueueScriptRequests(CSite& site, const CUrl& page,
                                const std::vector<std::string>& requests);

// Stores the rendered document over the page's file, its links rewritten and their
// targets queued; record is what the server said of the page, kept for the file. Returns
// how many were queued; a failure to store goes to the log and leaves the server's page.
std::size_t StoreSnapshot(CSite& site, const CUrl& page, const std::string& localPath,
                          CCopyRecord record, std::string document);
