#!/usr/bin/env python3
"""A one-page HTTP server on 127.0.0.1 for the desktop test.

Usage: loopback_page_server.py PORT_FILE REQUEST_LOG LIFETIME_SECONDS

Binds a free port on the loopback interface only, writes the port number to
PORT_FILE once it listens, and answers every GET with a small HTML page. Each
request is appended to REQUEST_LOG as one line: the time it arrived (seconds
since the epoch), the path and the User-Agent, separated by tabs. It ends by
itself after LIFETIME_SECONDS, so that it cannot outlive a test that lost track
of it.
"""
import http.server
import os
import sys
import threading
import time

PAGE = b"<!DOCTYPE html><html><head><title>Top-up</title></head><body><p>Top-up and shop</p></body></html>\n"


class PageHandler(http.server.BaseHTTPRequestHandler):
    request_log = ""

    def do_GET(self):  # noqa: N802 (the name http.server calls)
        agent = self.headers.get("User-Agent", "").replace("\t", " ")
        with open(self.request_log, "a", encoding="utf-8") as log:
            log.write(f"{time.time():.6f}\t{self.path}\t{agent}\n")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(PAGE)))
        self.end_headers()
        self.wfile.write(PAGE)

    def log_message(self, *args):
        pass  # the request log above is the record


def main():
    port_file, request_log, lifetime = sys.argv[1], sys.argv[2], float(sys.argv[3])
    PageHandler.request_log = request_log
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), PageHandler)
    threading.Timer(lifetime, server.shutdown).start()
    # Written whole, then renamed: a reader never sees half a number.
    with open(port_file + ".tmp", "w", encoding="ascii") as out:
        out.write(f"{server.server_address[1]}\n")
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()
    server.server_close()


if __name__ == "__main__":
    main()
