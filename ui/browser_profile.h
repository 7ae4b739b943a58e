#pragma once
// The browser pane's profile: one for the program's life, named and kept in the program's
// data folder, so the pane's cookies (a login made there) last across runs and are never
// part of a project. Made on first use, with the tracker of its cookies. GUI thread only.

class CBrowserCookies;
class QWebEngineProfile;

QWebEngineProfile* BrowserPaneProfile();
CBrowserCookies& BrowserPaneCookies();
