#pragma once
// The private messages between the controller, the workers and the views. The numbers
// are fixed: the views and the front ends match on them.

inline constexpr unsigned WM_QUIT = 0x0012;
inline constexpr unsigned WM_APP = 0x8000;

inline constexpr unsigned WM_CONTROLLER_STATE = WM_APP + 1; // controller → UI: wParam state
inline constexpr unsigned WM_START_SITE = WM_APP + 2;       // → controller: wParam CSite*
// WM_START_SITE's lParam: kStartFetchMissing asks only for the files the copy lacks.
inline constexpr unsigned kStartUpdate = 0;
inline constexpr unsigned kStartFetchMissing = 1;
inline constexpr unsigned WM_PAUSE_RESUME = WM_APP + 3;     // → controller
inline constexpr unsigned WM_DISPATCH = WM_APP + 4;         // controller → itself
inline constexpr unsigned WM_SHUTDOWN = WM_APP + 5;         // main frame → controller
inline constexpr unsigned WM_STOP_SITE = WM_APP + 6;        // → controller: wParam CSite*
inline constexpr unsigned WM_RESUME = WM_APP + 7;           // → controller
inline constexpr unsigned WM_STOP_ALL = WM_APP + 8;         // worker → controller
inline constexpr unsigned WM_WORKER_DONE = WM_APP + 9;    // worker → controller: CWorker*, CSite*
inline constexpr unsigned WM_SHOW_SITE = WM_APP + 10;     // → sites tree: wParam CSite*
inline constexpr unsigned WM_SITE_STARTED = WM_APP + 11;  // → both views: wParam CSite*
inline constexpr unsigned WM_SITE_FINISHED = WM_APP + 12; // → both views: wParam CSite*
inline constexpr unsigned WM_SITE_CHANGED = WM_APP + 13;  // a view → itself
inline constexpr unsigned WM_FETCH = WM_APP + 14; // controller → worker: CSite*, CUrl* (owned)
inline constexpr unsigned WM_LOGIN_EXPIRED = WM_APP + 15; // worker → controller: CSite*
