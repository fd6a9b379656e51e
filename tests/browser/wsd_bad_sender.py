#!/usr/bin/env python3
"""A WS-Discovery device that answers every Probe with what only a real network can send:
oversize and unrelated answers, metadata that is endless, slow, oversize or a redirect, and a
flood of devices. (Which messages parse, the unit tests check.) It serves that metadata over
HTTP on port 5357 and writes the path of every request it gets, one a line, to REQUESTS_FILE.
Every name it hands out contains "MALO".
    wsd_bad_sender.py ADDRESS REQUESTS_FILE
"""
import http.server
import re
import socket
import socketserver
import struct
import sys
import threading
import time

ADDRESS, REQUESTS = sys.argv[1], sys.argv[2]
HTTP_PORT = 5357
PUB = "http://schemas.microsoft.com/windows/pub/2005/07"
NS = ('xmlns:soap="http://www.w3.org/2003/05/soap-envelope" '
      'xmlns:wsa="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
      'xmlns:wsd="http://schemas.xmlsoap.org/ws/2005/04/discovery" '
      'xmlns:wsx="http://schemas.xmlsoap.org/ws/2004/09/mex" '
      'xmlns:wsdp="http://schemas.xmlsoap.org/ws/2006/02/devprof" xmlns:pub="' + PUB + '"')
LAUGHS = ('<!DOCTYPE x [<!ENTITY l0 "MALO">'
          + "".join(f'<!ENTITY l{i} "{("&l" + str(i - 1) + ";") * 10}">' for i in range(1, 10))
          + "]>")
log_lock = threading.Lock()
log = open(REQUESTS, "a", buffering=1)


def probe_matches(relates, endpoint, path):
    return (f'<?xml version="1.0" encoding="utf-8"?><soap:Envelope {NS}><soap:Header><wsa:Action>'
            "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</wsa:Action>"
            f"<wsa:MessageID>urn:uuid:{time.time_ns()}</wsa:MessageID><wsa:RelatesTo>{relates}"
            "</wsa:RelatesTo></soap:Header><soap:Body><wsd:ProbeMatches><wsd:ProbeMatch>"
            f"<wsa:EndpointReference><wsa:Address>{endpoint}</wsa:Address></wsa:EndpointReference>"
            f"<wsd:Types>wsdp:Device pub:Computer</wsd:Types><wsd:XAddrs>http://{ADDRESS}:"
            f"{HTTP_PORT}{path}</wsd:XAddrs></wsd:ProbeMatch></wsd:ProbeMatches></soap:Body>"
            "</soap:Envelope>")


def metadata(computer, prolog="", pub=PUB):
    return (f'<?xml version="1.0" encoding="utf-8"?>{prolog}<soap:Envelope '
            f'{NS.replace(PUB, pub)}><soap:Header><wsa:Action>'
            "http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse</wsa:Action></soap:Header>"
            "<soap:Body><wsx:Metadata><wsx:MetadataSection><wsdp:Relationship><wsdp:Host>"
            f"<pub:Computer>{computer}</pub:Computer></wsdp:Host></wsdp:Relationship>"
            "</wsx:MetadataSection></wsx:Metadata></soap:Body></soap:Envelope>").encode()


# Metadata answers: each path is served one way; none of them may give an entry.
PAGES = {"/meta-entity": metadata("&l9;/Workgroup:MALOS", prolog=LAUGHS),
         "/flood": metadata("MALO-RIADA/Workgroup:MALOS", pub="urn:otro")}


def bad_datagrams(relates):
    big = probe_matches(relates, "urn:uuid:malo-1", "/dgram-oversize")
    out = [big.replace("<soap:Body>", "<soap:Body><!--" + "x" * 40000 + "-->"),
           probe_matches("urn:uuid:otra-sonda", "urn:uuid:malo-5", "/dgram-unrelated")]
    out += [probe_matches(relates, "urn:uuid:malo" + path, path) for path in
            ["/meta-entity", "/meta-oversize", "/meta-endless", "/meta-slow", "/meta-redirect"]]
    out += [probe_matches(relates, f"urn:uuid:malo-riada-{i}", f"/flood/{i}") for i in range(1000)]
    return [m.encode() for m in out]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, headers, body=b""):
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        with log_lock:
            log.write(self.path + "\n")
        self.rfile.read(int(self.headers.get("Content-Length") or 0))
        path = "/flood" if self.path.startswith("/flood/") else self.path
        try:
            if path == "/meta-oversize":
                self.answer(200, {"Content-Length": str(10 * 1024 * 1024)})
                for _ in range(10 * 1024):
                    self.wfile.write(b"<" * 1024)
            elif path == "/meta-endless":
                self.answer(200, {"Connection": "close"})
                while True:
                    self.wfile.write(b"<a>" * 4096)
            elif path == "/meta-slow":
                self.answer(200, {"Content-Length": "100000"})
                while True:
                    self.wfile.write(b" ")
                    self.wfile.flush()
                    time.sleep(0.1)
            elif path == "/meta-redirect":
                self.answer(302, {"Location": f"http://{ADDRESS}:{HTTP_PORT}/meta-after-redirect",
                                  "Content-Length": "0"})
            else:
                body = PAGES.get(path, b"")
                self.answer(200, {"Content-Type": "application/soap+xml",
                                  "Content-Length": str(len(body))}, body)
        except (BrokenPipeError, ConnectionResetError):
            pass

    do_GET = do_POST  # a followed redirect arrives as a GET


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    request_queue_size = 256


def main():
    httpd = Server((ADDRESS, HTTP_PORT), Handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("239.255.255.250", 3702))
    mreq = struct.pack("4s4s", socket.inet_aton("239.255.255.250"), socket.inet_aton(ADDRESS))
    sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, mreq)
    out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    out.bind((ADDRESS, 0))
    answered = set()
    while True:
        data, sender = sock.recvfrom(65535)
        text = data.decode("utf-8", "replace")
        found = re.search(r"MessageID>([^<]+)<", text)
        if "/discovery/Probe<" in text and found and found.group(1) not in answered:
            answered.add(found.group(1))
            for message in bad_datagrams(found.group(1)):
                out.sendto(message, sender)


if __name__ == "__main__":
    main()
