#!/usr/bin/env python3
"""Everyday web features in the launcher's boxes, under a real X session (run through
tests/gui/with-x-session.sh, with a session and accessibility bus of its own, through which the
built-in pages are read): pointer lock for a game page, a file dropped from another program, a page
behind HTTP authentication, a script that never ends, a certificate nobody signed. Input is real (XTEST through xdotool); the site is the tests' own
(see site_session.py).
"""
import http.server
import os
import socketserver
import ssl
import subprocess
import threading
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import launcher_e2e as e2e  # noqa: E402
import site_session  # noqa: E402
from launcher_e2e import geometry, xdotool  # noqa: E402


class AuthenticationServer(http.server.ThreadingHTTPServer):
    """Answers every request with 401 and a Basic challenge; the body tells the login site's server
    (a beacon) that it was shown, numbered by request."""
    def __init__(self, port, beacon_port):
        self.requests = 0
        self.beacon_port = beacon_port
        super().__init__(("127.0.0.1", port), self.Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.server.requests += 1
            body = ("<!DOCTYPE html><title>denied</title><h1>401</h1>"
                    "<img src='http://127.0.0.1:%d/beacon?auth-body-%d'>" % (self.server.beacon_port,
                                                                          self.server.requests)).encode()
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="kestrune test"')
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass


def web_processes(mark):
    """The engine's content processes among the processes carrying a launcher's mark."""
    found = []
    for pid in e2e.marked(mark):
        try:
            with open("/proc/%d/comm" % pid) as f:
                if f.read().strip() == "WebKitWebProces":
                    found.append(pid)
        except OSError:
            pass
    return found


class SelfSignedServer(socketserver.ThreadingTCPServer):
    """An https server whose certificate nobody signed; counts the connections made to it."""
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port, folder):
        self.connections = 0
        key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                        "/CN=127.0.0.1", "-keyout", key, "-out", cert], check=True, capture_output=True)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(cert, key)
        super().__init__(("127.0.0.1", port), self.Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    class Handler(socketserver.BaseRequestHandler):
        def handle(self):
            self.server.connections += 1
            try:
                with self.server.context.wrap_socket(self.request, server_side=True) as tls:
                    tls.recv(65536)
                    body = b"<!DOCTYPE html><title>trusted</title>"
                    tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n%s"
                                % (len(body), body))
            except (ssl.SSLError, OSError):
                pass


class WebFeaturesTest(site_session.SiteSession):
    def test_a_refused_certificate_says_so_and_is_retried_only_when_the_player_asks(self):
        server = SelfSignedServer(e2e.login_port() + 2, self.home)
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        self.press("F4")
        e2e.wait_for(lambda: any("与游戏服务器的连接不安全" in t for t in self.page_texts()), 15,
                     "the page for a refused certificate")
        self.assertTrue(any("127.0.0.1" in t and "身份" in t for t in self.page_texts()))
        time.sleep(2)
        tried = server.connections
        self.assertGreater(tried, 0)
        # A minute, four times the first wait of an unreachable server's retry: nothing is tried by itself.
        time.sleep(60)
        self.assertEqual(server.connections, tried)
        self.press("F5")  # the player's retry
        e2e.wait_for(lambda: server.connections > tried, 10, "the retry the player asked for")

    def test_a_page_that_never_ends_its_script_is_reloaded_and_answers_again(self):
        self.press("F3")
        time.sleep(1)
        hung = time.monotonic()
        xdotool("type", "h")  # input the page cannot answer
        self.server.wait("login-ready", timeout=25)
        self.assertLess(time.monotonic() - hung, 16)
        time.sleep(0.5)
        self.server.forget()
        xdotool("type", "r")
        self.server.wait("login-key-first-r")

    def test_no_web_process_outlives_the_launcher(self):
        self.assertTrue(web_processes(self.proc.mark))
        self.press("F3")  # even one busy with a script that never ends
        time.sleep(1)
        ox, oy = self.login_origin()
        self.click(ox + 1034 + 11, oy + 312 + 11)  # the close button
        self.assertEqual(self.proc.wait(10), 0)
        gone = time.monotonic()
        while web_processes(self.proc.mark) and time.monotonic() - gone < 1.0:
            time.sleep(0.05)
        self.assertEqual(web_processes(self.proc.mark), [])

    def test_a_page_behind_authentication_shows_its_answer_and_f5_asks_again(self):
        port = e2e.login_port()
        server = AuthenticationServer(port + 1, port)
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        self.press("F2")
        self.server.wait("auth-body-1")
        time.sleep(0.3)
        self.press("F5")
        self.server.wait("auth-body-2")
        self.assertEqual(server.requests, 2)

    def test_game_page_locks_the_pointer_after_a_click(self):
        game = self.log_in()
        time.sleep(0.3)
        gx, gy, gw, gh = geometry(game)
        self.server.forget()
        self.click(gx + gw // 2, gy + gh // 2)
        self.server.wait("game-pointerlock-1")
        self.assertNotIn("game-pointerlock-error", self.server.drain())
        # Escape gives the pointer back.
        self.press("Escape")
        self.server.wait("game-pointerlock-0")

    def test_a_file_dropped_on_the_page_leaves_the_box_on_its_page(self):
        dropped = os.path.join(self.home, "dropped.html")
        with open(dropped, "w") as f:
            f.write("<img src='http://127.0.0.1:%d/beacon?dropped-shown'>" % e2e.login_port())
        source = e2e.start([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "drag_source.py"),
                            dropped], stdout=subprocess.PIPE, text=True)
        self.addCleanup(lambda: e2e.end(source))
        self.assertEqual(source.stdout.readline().strip(), "ready")
        time.sleep(0.5)
        ox, oy = self.login_origin()
        target = (ox + 456 + 300, oy + 370 + 200)
        # The drag is real input between two programs (XDND); one the page never saw is tried again.
        for _ in range(3):
            self.server.forget()
            xdotool("mousemove", 100, 60)
            xdotool("mousedown", 1)
            for step in range(1, 21):
                xdotool("mousemove", 100 + (target[0] - 100) * step // 20, 60 + (target[1] - 60) * step // 20)
                time.sleep(0.05)
            time.sleep(0.3)
            xdotool("mouseup", 1)
            time.sleep(2)
            if "login-dragenter" in self.server.drain():
                break
        self.assertIn("login-dragenter", self.server.seen, "the drag never reached the page")
        self.assertNotIn("dropped-shown", self.server.drain())
        # Still the login page, with the keyboard where it was.
        xdotool("windowactivate", self.login, check=False)
        time.sleep(0.3)
        self.server.forget()
        xdotool("type", "d")
        self.server.wait("login-key-first-d")



if __name__ == "__main__":
    site_session.main(with_accessibility_bus=True)
