#!/usr/bin/env python3
"""Demo game platform for the Vornak client: login, server list and game pages.

Loopback only. The pages are plain HTML that both a real browser and the
stand-in browser control can show.
"""

import argparse
import email.utils
import html
import os
import random
import secrets
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

GAME_BACKGROUND = "#203048"
# The demo account the login form accepts.
DEMO_USER = "wanderer"
DEMO_PASSWORD = "jade-gate"
SESSION_COOKIE = "vornak_session"


def page(title, body, head_extra="", body_style=""):
    style = f' style="{body_style}"' if body_style else ""
    return (
        "<!DOCTYPE html>\n"
        "<html><head><meta charset=\"utf-8\">\n"
        f"<title>{html.escape(title)}</title>\n{head_extra}</head>\n"
        f"<body{style}>\n{body}\n</body></html>\n"
    )


def link(href, text, target=""):
    opens_in = f' target="{html.escape(target)}"' if target else ""
    return f'<li><a href="{html.escape(href)}"{opens_in}>{html.escape(text)}</a></li>'


def login_page(message=""):
    notice = f'<p class="error">{html.escape(message)}</p>\n' if message else ""
    return page("Vornak 沃纳克 — 登录", (
        "<h1>沃纳克 Vornak</h1>\n"
        "<p>欢迎回来，勇士！Welcome back to the jade frontier.</p>\n"
        + notice +
        '<form action="/vornak/login" method="post">\n'
        '<p>用户名 User name</p>\n<input type="text" name="user" autofocus>\n'
        '<p>密码 Password</p>\n<input type="password" name="password">\n'
        '<button type="submit">登录 Log in</button>\n'
        "</form>\n<ul>\n"
        + link("/vornak/external", "window.external") + "\n"
        "</ul>"))


def servers_page(_query):
    links = [
        ("/vornak/play?server=1&client=1", "server 1 青龙 (Azure Dragon)"),
        ("/vornak/play?client=1&server=2", "server 2 白虎 (White Tiger)"),
        ("/vornak/play?server=3&mode=client=10", "server 3 朱雀 (Vermilion Bird)"),
        ("/vornak/play?server=4&Client=1", "server 4 玄武 (Black Tortoise, browser only)"),
        ("/vornak/news", "news 新闻"),
        ("/vornak/frame", "framed server 5"),
        ("/vornak/auto", "quick start (server 6)"),
        ("/vornak/schemes", "frames of other schemes"),
    ]
    # Links that open a new window: the real control asks its host with NewWindow3,
    # and no BeforeNavigate2 reaches the host for them.
    new_windows = [
        ("/vornak/play?server=7&client=1", "server 7 in a new window"),
        ("/vornak/news", "news in a new window"),
    ]
    return page("Vornak — 选择服务器", (
        "<h1>选择服务器 Choose a server</h1>\n<ul>\n"
        + "\n".join(link(href, text) for href, text in links) + "\n"
        + "\n".join(link(href, text, "_blank") for href, text in new_windows)
        + "\n" + link("/vornak/windows", "new windows and a search field")
        + "\n</ul>"))


def frame_page(_query):
    return page("Vornak — framed server", (
        "<h1>Framed server 5</h1>\n"
        "<p>The game below runs in a frame.</p>\n"
        '<iframe name="game" src="/vornak/play?server=5&amp;client=1"></iframe>'))


# Frames whose addresses carry the game marker but are no web addresses.
SCHEME_FRAMES = ("file:///C:/client=1.htm", "javascript:'client=1'", "res://ieframe.dll/client=1.htm")


def schemes_page(_query):
    return page("Vornak — other schemes", "<h1>Other schemes</h1>\n" + "\n".join(
        f'<iframe src="{html.escape(src)}"></iframe>' for src in SCHEME_FRAMES))


def auto_page(_query):
    return page("Vornak — quick start", (
        "<h1>Quick start</h1>\n<p>Entering server 6 in one second…</p>"),
        head_extra='<meta http-equiv="refresh" content="1;url=/vornak/play?server=6&amp;client=1">\n')


def windows_page(_query):
    return page("Vornak — new windows", (
        "<h1>New windows</h1>\n<ul>\n"
        '<li><a href="/vornak/play?server=7&amp;client=1" target="_blank">server 7 in a new window</a></li>\n'
        '<li><a href="/vornak/news" target="_blank">news in a new window</a></li>\n'
        '<li><a href="/vornak/news" data-window-open>news by window.open</a></li>\n'
        '<li><a href="/vornak/news" target="sidebar">news in a window named sidebar</a></li>\n'
        '<li><a href="/vornak/news">news here</a></li>\n'
        "</ul>\n"
        '<p>Search 搜索 (Escape clears it)</p>\n<input type="text" name="search" data-takes-escape>'))


def external_page(_query):
    return page("Vornak — external", (
        "<h1>window.external</h1>\n"
        '<p>external: <span data-external="xxyyzz">?</span></p>\n'
        '<p>unknown: <span data-external="nosuch">?</span></p>'))


def play_page(server, chat_lines):
    chat = "".join(f"<p>» {html.escape(line)}</p>\n" for line in chat_lines)
    return page(f"Vornak — server {server}", (
        f"<h1>Vornak — server {html.escape(server)}</h1>\n"
        "<p>The caravan road to the Jade Gate is open. 玉门关之路已开。</p>\n"
        "<p>Your sect awaits its champion.</p>\n"
        + chat +
        f'<form action="/vornak/chat?server={html.escape(server)}" method="post">\n'
        '<input type="text" name="line">\n<button type="submit">发送 Send</button>\n</form>'),
        body_style=f"background:{GAME_BACKGROUND};color:#e8e0c8")


def news_page(_query):
    return page("Vornak — news", (
        "<h1>新闻 News</h1>\n"
        "<p>The lantern festival begins on the fifteenth day.</p>"))


def long_page(_query):
    lines = "\n".join(f"<p>Chronicle line {n}: the river remembers.</p>" for n in range(1, 201))
    return page("Vornak — chronicle", "<h1>The long chronicle</h1>\n" + lines)


def odd_form_page(query):
    dead = parse_qs(query).get("dead", ["9"])[0]
    return page("Vornak — odd forms", (
        '<form method="post">\n<input name="note" autofocus>\n<input value="nameless">\n'
        '<button type="submit" name="go" value="1">Go</button>\n</form>\n'
        f'<form action="http://127.0.0.1:{html.escape(dead)}/vornak/login">\n<input name="q">\n</form>'))


# Pages anyone may see; the server list and the games need a session.
ROUTES = {
    "/vornak/frame": frame_page,
    "/vornak/auto": auto_page,
    "/vornak/schemes": schemes_page,
    "/vornak/external": external_page,
    "/vornak/windows": windows_page,
    "/vornak/news": news_page,
    "/vornak/long": long_page,
    "/vornak/odd-forms": odd_form_page,
}


def garbage_for(path):
    # Seeded by the path, so a fault test sees the same bytes every run.
    rng = random.Random("vornak-garbage:" + path)
    return bytes(rng.randrange(256) for _ in range(4096))


class Handler(BaseHTTPRequestHandler):
    server_version = "VornakDemo/1.0"

    def do_GET(self):
        self.answer(None)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.answer(self.rfile.read(length).decode("utf-8", "replace"))

    def answer(self, form):
        options = self.server.options
        self.server.log_request_path(self.path if form is None else f"POST {self.path} {form}")
        # Headers of the caller's own (X-...), so that a test sees what a navigation added.
        for name, value in self.headers.items():
            if name.lower().startswith("x-"):
                self.server.log_request_path(f"header {self.path} {name}: {value}")
        if options.delay > 0:
            time.sleep(options.delay)
        if options.garbage:
            self.send_body(200, "application/x-vornak-scrambled", garbage_for(self.path))
            return
        parts = urlsplit(self.path)
        path = parts.path.rstrip("/") or "/"
        query = parse_qs(parts.query)
        fields = {k: v[0] for k, v in parse_qs(form or "", keep_blank_values=True).items()}
        if path == "/vornak/odd-forms" and form is not None:
            body = page("Vornak — posted", f"<p>posted {html.escape(form)}</p>")
        elif path == "/vornak/login" and form is not None:
            if fields.get("user") == DEMO_USER and fields.get("password") == DEMO_PASSWORD:
                # Post, redirect, get: a refresh of the list that follows is a plain GET.
                self.send_redirect("/vornak/servers", self.server.new_session())
                return
            body = login_page("用户名或密码错误 Wrong user name or password.")
        elif path == "/vornak/moved":
            self.send_redirect("/vornak/news")
            return
        elif path == "/vornak":
            body = login_page()
        elif path in ("/vornak/servers", "/vornak/play", "/vornak/chat"):
            if not self.server.has_session(self.headers.get("Cookie", "")):
                body = login_page("请先登录 Please log in first.")
            elif path == "/vornak/servers":
                body = servers_page(parts.query)
            else:
                server = query.get("server", ["?"])[0]
                if path == "/vornak/chat" and fields.get("line"):
                    self.server.chat(server, fields["line"])
                body = play_page(server, self.server.chat_lines(server))
        elif path in ROUTES and form is None:
            body = ROUTES[path](parts.query)
        else:
            self.send_body(404, "text/html; charset=utf-8",
                           page("Not found", "<h1>404</h1><p>No such page.</p>").encode("utf-8"))
            return
        self.send_body(200, "text/html; charset=utf-8", body.encode("utf-8"))

    def send_redirect(self, location, cookie=None):
        status = 303 if self.command == "POST" else 302
        self.send_response(status)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        if cookie:
            self.send_cookie(cookie)
        self.end_headers()

    def send_cookie(self, cookie):
        # Persistent, so that it lands in the cookie store the cache cleaner empties.
        expires = email.utils.formatdate(time.time() + 86400, usegmt=True)
        self.send_header("Set-Cookie", f"{SESSION_COOKIE}={cookie}; expires={expires}; path=/")

    def send_body(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        # Stored in the browser's cache, and checked with the platform before each use.
        self.send_header("Cache-Control", "private, max-age=0")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *_args):
        pass  # the request log below replaces the default access log


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, options):
        super().__init__(("127.0.0.1", options.port), Handler)
        self.options = options
        self.log_lock = threading.Lock()
        self.sessions = set()
        self.chats = {}
        self.log_file = open(options.log, "a", encoding="utf-8") if options.log else sys.stderr

    def new_session(self):
        token = secrets.token_hex(16)
        with self.log_lock:
            self.sessions.add(token)
        return token

    def has_session(self, cookie_header):
        tokens = [part.strip().split("=", 1)[1] for part in cookie_header.split(";")
                  if part.strip().startswith(SESSION_COOKIE + "=")]
        with self.log_lock:
            return any(token in self.sessions for token in tokens)

    def chat(self, server, line):
        with self.log_lock:
            self.chats.setdefault(server, []).append(line)

    def chat_lines(self, server):
        with self.log_lock:
            return list(self.chats.get(server, []))

    def log_request_path(self, path):
        with self.log_lock:
            self.log_file.write(path + "\n")
            self.log_file.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=8350)
    parser.add_argument("--delay", type=float, default=0.0,
                        help="answer every request after this many seconds")
    parser.add_argument("--garbage", action="store_true",
                        help="answer every request with scrambled non-HTML bytes")
    parser.add_argument("--pidfile", help="write the process id here")
    parser.add_argument("--log", help="append requested paths here instead of stderr")
    options = parser.parse_args()

    server = DemoServer(options)
    if options.pidfile:
        with open(options.pidfile, "w", encoding="ascii") as f:
            f.write(f"{os.getpid()}\n")
    print(f"serving on http://127.0.0.1:{server.server_address[1]}/vornak",
          file=sys.stderr, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
