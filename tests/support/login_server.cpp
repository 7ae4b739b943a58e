#include "support/login_server.h"

#include <cctype>
#include <regex>

namespace {
const std::string kLoginPage = "<html><body><form method=\"post\" action=\"/login\">"
                               "<input type=\"hidden\" name=\"csrf\" value=\"{TOKEN}\">"
                               "<input name=\"user\"><input type=\"password\" name=\"password\">"
                               "<button>Log in</button></form></body></html>";
} // namespace

std::string CookieValue(const std::string& cookieHeader, const std::string& name) {
    std::size_t at = 0;
    while (at < cookieHeader.size()) {
        const std::size_t end = std::min(cookieHeader.find(';', at), cookieHeader.size());
        std::string part = cookieHeader.substr(at, end - at);
        part.erase(0, part.find_first_not_of(' '));
        if (part.starts_with(name + "="))
            return part.substr(name.size() + 1);
        at = end + 1;
    }
    return {};
}

LoginServer::LoginServer(int pages) : m_pages(pages) {
    const auto answer = [this](const httplib::Request& request, httplib::Response& response) {
        Answer(request, response);
    };
    m_server.server().Get(".*", answer);
    m_server.server().Post(".*", answer);
}

LoginServer::~LoginServer() {
    m_server.Stop();
}

void LoginServer::Start() {
    m_server.Start();
}

std::vector<std::string> LoginServer::PagePaths() const {
    std::vector<std::string> paths{"/"};
    for (int page = 1; page <= m_pages; ++page)
        paths.push_back("/pages/" + std::to_string(page) + ".html");
    return paths;
}

void LoginServer::ExpireAfter(int requests) {
    std::lock_guard lock(m_mutex);
    m_expireAfter = requests;
}

void LoginServer::RefuseWith(int status) {
    std::lock_guard lock(m_mutex);
    m_refusal = status;
}

void LoginServer::AddRefusedArea(int pages) {
    std::lock_guard lock(m_mutex);
    m_refusedPages = pages;
}

void LoginServer::AddStartLink(std::string address) {
    std::lock_guard lock(m_mutex);
    m_startLinks.push_back(std::move(address));
}

std::vector<std::string> LoginServer::RefusedPaths() const {
    std::vector<std::string> paths;
    for (int page = 1; page <= m_refusedPages; ++page)
        paths.push_back("/admin/" + std::to_string(page) + ".html");
    return paths;
}

int LoginServer::Requests(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_requests.find(path);
    return found == m_requests.end() ? 0 : found->second;
}

int LoginServer::RequestsWithCookies() const {
    std::lock_guard lock(m_mutex);
    return m_withCookies;
}

int LoginServer::RequestsWithHeader(const std::string& name, const std::string& value) const {
    std::string lowered;
    for (const char c : name)
        lowered.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    std::lock_guard lock(m_mutex);
    const auto found = m_headers.find({lowered, value});
    return found == m_headers.end() ? 0 : found->second;
}

std::set<std::string> LoginServer::CookieHeaders() const {
    std::lock_guard lock(m_mutex);
    return m_cookieHeaders;
}

int LoginServer::PagesServed() const {
    std::lock_guard lock(m_mutex);
    return m_served;
}

std::string LoginServer::NewToken() {
    // Unguessable is not needed here, only distinct.
    const int count = ++m_counter;
    return std::to_string(count) + "x" + std::to_string(count * 7919 % 104729);
}

std::string LoginServer::PageBody(std::size_t index) const {
    const std::vector<std::string> paths = PagePaths();
    std::string body = "<html><body><h1>Page " + std::to_string(index) + "</h1>\n";
    if (index + 1 < paths.size())
        body += "<a href=\"" + paths[index + 1] + "\">next</a>\n";
    if (index > 0)
        body += "<a href=\"" + paths[index - 1] + "\">previous</a>\n";
    body += "<a href=\"/logout\">Log out</a>\n<a href=\"/account/bye\"><b>Sign</b> out</a>\n";
    if (index == 0) {
        for (const std::string& path : RefusedPaths())
            body += "<a href=\"" + path + "\">admin</a>\n";
        for (const std::string& address : m_startLinks)
            body += "<a href=\"" + address + "\">elsewhere</a>\n";
    }
    return body + "</body></html>\n";
}

LoginServer::Session* LoginServer::LiveSession(const httplib::Request& request) {
    const std::string sid = CookieValue(request.get_header_value("Cookie"), "sid");
    const auto found = m_sessions.find(sid);
    if (sid.empty() || found == m_sessions.end() || found->second.ended)
        return nullptr;
    Session& session = found->second;
    if (session.limit != 0 && session.used >= session.limit) {
        session.ended = true;
        return nullptr;
    }
    ++session.used;
    return &session;
}

void LoginServer::AnswerLogin(const httplib::Request& request, httplib::Response& response) {
    if (request.method == "GET") {
        const std::string token = NewToken();
        m_csrfTokens.insert(token);
        std::string body = kLoginPage;
        body.replace(body.find("{TOKEN}"), 7, token);
        response.set_header("Set-Cookie", "csrf=" + token + "; Path=/login; HttpOnly");
        response.set_content(body, "text/html");
        return;
    }
    const std::string token = request.get_param_value("csrf");
    const bool tokenGood = !token.empty() && m_csrfTokens.contains(token) &&
                           CookieValue(request.get_header_value("Cookie"), "csrf") == token;
    if (!tokenGood || request.get_param_value("user") != kUser ||
        request.get_param_value("password") != kPassword) {
        response.status = 403;
        response.set_content("bad login", "text/plain");
        return;
    }
    m_csrfTokens.erase(token);
    const std::string sid = "s" + NewToken();
    m_sessions[sid] = Session{0, m_expireAfter, false};
    response.status = 302;
    response.set_header("Location", "/");
    response.set_header("Set-Cookie", "sid=" + sid + "; Path=/; HttpOnly");
    response.set_content("", "text/html");
}

void LoginServer::Answer(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(m_mutex);
    ++m_requests[request.path];
    for (const auto& [name, value] : request.headers) {
        std::string lowered;
        for (const char c : name)
            lowered.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        ++m_headers[{lowered, value}];
    }
    if (request.has_header("Cookie")) {
        ++m_withCookies;
        m_cookieHeaders.insert(request.get_header_value("Cookie"));
    }
    if (request.path == "/login") {
        AnswerLogin(request, response);
        return;
    }
    if (request.path == "/robots.txt") {
        response.status = 404;
        return;
    }
    Session* session = LiveSession(request);
    if (request.path == "/logout" || request.path == "/account/bye") {
        if (session != nullptr)
            session->ended = true;
        response.status = 302;
        response.set_header("Location", "/login");
        return;
    }
    const std::vector<std::string> paths = PagePaths();
    const auto page = std::find(paths.begin(), paths.end(), request.path);
    const std::vector<std::string> refused = RefusedPaths();
    const bool inRefusedArea =
        std::find(refused.begin(), refused.end(), request.path) != refused.end();
    if (page == paths.end() && !inRefusedArea) {
        response.status = 404;
        response.set_content("not found", "text/html");
        return;
    }
    if (session == nullptr) {
        response.status = m_refusal;
        if (m_refusal == 302)
            response.set_header("Location", "/login?next=" + request.path);
        response.set_content("<html><body>Please log in</body></html>", "text/html");
        return;
    }
    if (inRefusedArea) {
        response.status = 403;
        response.set_content("<html><body>Not for you</body></html>", "text/html");
        return;
    }
    ++m_served;
    response.set_content(PageBody(static_cast<std::size_t>(page - paths.begin())), "text/html");
}

std::string LoginServer::LogInWithForm() {
    httplib::Client client("127.0.0.1", m_server.port());
    const auto form = client.Get("/login");
    if (!form || form->status != 200)
        return {};
    std::smatch match;
    static const std::regex kToken("name=\"csrf\" value=\"([^\"]*)\"");
    if (!std::regex_search(form->body, match, kToken))
        return {};
    const std::string token = match[1].str();
    const std::string csrf = CookieValue(form->get_header_value("Set-Cookie"), "csrf");
    const httplib::Headers headers{{"Cookie", "csrf=" + csrf}};
    const httplib::Params params{{"user", kUser}, {"password", kPassword}, {"csrf", token}};
    const auto login = client.Post("/login", headers, params);
    if (!login || login->status != 302)
        return {};
    const std::string sid = CookieValue(login->get_header_value("Set-Cookie"), "sid");
    if (sid.empty())
        return {};
    return "# Netscape HTTP Cookie File\n#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\t" + sid +
           "\n";
}
