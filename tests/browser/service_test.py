"""The local weight service end to end: its refusals over raw HTTP, then the demo page in a
real Chromium against the simulated scale. Run by run-service-test, which starts both."""

import argparse
import http.client
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import threading
import time
from functools import partial
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import quote, urlparse

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def request(service, method, path, body=None, headers=None):
    url = urlparse(service)
    connection = http.client.HTTPConnection(url.hostname, url.port, timeout=15)
    connection.request(method, path, body=body, headers=headers or {})
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response.status, data


def raw(service, data, read=True):
    url = urlparse(service)
    with socket.create_connection((url.hostname, url.port), timeout=15) as s:
        s.sendall(data)
        return s.recv(4096) if read else b""


def security_cases(args):
    service = args.service
    host = urlparse(service).netloc
    reading = json.dumps({"Porta": args.scale, "Mod_Bal": 1})
    status, body = request(service, "POST", "/v1/ler", reading)
    answer = json.loads(body)
    check(status == 200 and answer["PesoLido"] == 1234 and b'"PesoLido":1234,' in body
          and answer["ok"] is True and answer["estado"] == "peso",
          "a reading gives 1234, ok, estado peso: %s" % body)
    # A page's Porta that names a file: refused, and the file stays as it was.
    notes = os.path.join(args.work, "notas.txt")
    with open(notes, "w") as f:
        f.write("vendas do dia")
    status, body = request(service, "POST", "/v1/ler", json.dumps({"Porta": notes, "Mod_Bal": 1}))
    with open(notes) as f:
        kept = f.read()
    check(status == 400 and "não é uma porta serial" in json.loads(body)["erro"]
          and kept == "vendas do dia", "a file named as Porta is refused untouched: %s" % body)
    try:
        status, body = request(service, "GET", "/v1/eventos?Mod_Bal=1&Porta=" +
                               quote(os.path.join(args.work, "novo")))
    except OSError as error:  # a stream that opened, and stays open
        status, body = 0, str(error).encode()
    check(status == 400 and not os.path.exists(os.path.join(args.work, "novo")),
          "an event stream on a new file name is refused and creates nothing: %s" % body)
    status, _ = request(service, "POST", "/v1/ler", reading, {"Origin": "https://evil.example"})
    check(status == 403, "a refused origin gets 403")
    status, _ = request(service, "POST", "/v1/ler", reading,
                        {"Origin": "http://%s.evil.example" % host.split(":")[0]})
    check(status == 403, "a look-alike origin gets 403")
    status, _ = request(service, "GET", "/v1/portas", None,
                        {"Sec-Fetch-Site": "cross-site"})
    check(status == 403, "a cross-site request without Origin gets 403")
    status, _ = request(service, "GET", "/v1/portas", None, {"Host": "rebind.evil.example:%d" % urlparse(service).port})
    check(status == 403, "a rebinding Host gets 403")
    status, body = request(service, "OPTIONS", "/v1/ler", None,
                           {"Origin": "https://evil.example",
                            "Access-Control-Request-Method": "POST",
                            "Access-Control-Request-Private-Network": "true"})
    check(status == 403, "a preflight from a refused origin gets 403")
    answer = raw(service, ("POST /v1/ler HTTP/1.1\r\nHost: %s\r\nContent-Length: 20000\r\n\r\n"
                           % host).encode())
    check(answer.startswith(b"HTTP/1.1 413"), "a body above 16 KiB is refused unread: %r" % answer[:20])
    answer = raw(service, b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03garbage\r\n\r\n")
    check(answer.startswith(b"HTTP/1.1 400"), "garbage bytes get 400: %r" % answer[:20])
    status, body = request(service, "POST", "/v1/ler", '{"Porta": 1, "Mod_Bal": 1, "Nada": 2}')
    check(status == 400 and b"Nada" in body, "an unknown field gets 400: %s" % body)
    # A port another program holds: the reading says why, in the form's own words.
    import fcntl
    import termios
    holder = os.open(args.scale, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)
        fcntl.ioctl(holder, termios.TIOCEXCL)
        status, body = request(service, "POST", "/v1/ler", reading)
        answer = json.loads(body)
        check(status == 200 and answer["PesoLido"] == 0 and answer["mensagem"]
              and answer["mensagem"].startswith("Erro na configuração, ou balança desligada"),
              "a port another program holds gives the form's message: %s" % body.decode())
    finally:
        os.close(holder)
    # A client that leaves in the middle of a reading: the port is left sound for the next.
    raw(service, ("POST /v1/ler HTTP/1.1\r\nHost: %s\r\nContent-Length: %d\r\n\r\n%s"
                  % (host, len(reading), reading)).encode(), read=False)
    time.sleep(0.05)
    status, body = request(service, "POST", "/v1/ler", reading)
    check(status == 200 and json.loads(body)["PesoLido"] == 1234,
          "after a client left mid-reading, the next reading gives 1234: %s" % body)


def slow_and_abandoned_cases(args):
    """Clients that hold sockets open, or leave before their reading: the next reading stays
    quick."""
    url = urlparse(args.service)
    host = url.netloc
    reading = json.dumps({"Porta": args.scale, "Mod_Bal": 1})
    # Twenty readings of a silent scale, each dropped by its client after 0.3 s.
    control(args, "SILENT on")
    time.sleep(0.2)
    abandoned = []
    for _ in range(20):
        s = socket.create_connection((url.hostname, url.port), timeout=15)
        s.sendall(("POST /v1/ler HTTP/1.1\r\nHost: %s\r\nContent-Length: %d\r\n\r\n%s"
                   % (host, len(reading), reading)).encode())
        abandoned.append(s)
    time.sleep(0.3)
    for s in abandoned:
        s.close()
    time.sleep(1.5)  # the scale stays silent a while: each reading still queued would time out
    control(args, "SILENT off")
    start = time.monotonic()
    status, body = request(args.service, "POST", "/v1/ler", reading)
    took = time.monotonic() - start
    check(status == 200 and json.loads(body)["PesoLido"] == 1234 and took < 2,
          "after 20 abandoned readings the next one gives 1234 in %.1f s (under 2): %d %s"
          % (took, status, body.decode()))
    # 300 sockets that send half a head, or nothing, and stay.
    slow = []
    try:
        for i in range(300):
            s = socket.create_connection((url.hostname, url.port), timeout=15)
            if i % 2 == 0:
                s.sendall(("GET / HTTP/1.1\r\nHost: %s\r\nX-Lento: " % host).encode())
            slow.append(s)
        time.sleep(0.5)
        start = time.monotonic()
        try:
            status, body = request(args.service, "POST", "/v1/ler", reading)
        except OSError as error:  # a connection reset instead of an answer
            status, body = 0, str(error).encode()
        took = time.monotonic() - start
        check(status == 200 and json.loads(body)["PesoLido"] == 1234 and took < 1,
              "with 300 slow sockets open a reading gives 1234 in %.0f ms (under 1000): %s"
              % (took * 1000, body[:80]))
    finally:
        for s in slow:
            s.close()


def control(args, command):
    with open(args.control, "w") as line:
        line.write(command + "\n")


def serve_refused_page(args, service):
    """A page on another origin (not on the service's list) that tries to read the scale."""
    page = """<!DOCTYPE html><meta charset="utf-8"><div id="resultado">esperando</div>
<script type="module">
const resultado = document.getElementById("resultado");
try {
  const resposta = await fetch("%s/v1/ler", {method: "POST",
      headers: {"Content-Type": "application/json"},
      body: JSON.stringify({Porta: %s, Mod_Bal: 1})});
  resultado.textContent = "peso " + (await resposta.json()).PesoLido;
} catch (erro) {
  resultado.textContent = "recusado";
}
</script>""" % (service, json.dumps(args.scale))
    folder = os.path.join(args.work, "outro-site")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "index.html"), "w") as f:
        f.write(page)
    class QuietHandler(SimpleHTTPRequestHandler):
        def log_message(self, *arguments):
            pass

    handler = partial(QuietHandler, directory=folder)
    server = ThreadingHTTPServer(("127.0.0.1", args.page_port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


SHOP_HOST = "pos.loja.example"


def serve_shop_site(args, service):
    """The shop's own site: HTTPS with a self-signed certificate, under a made-up name, with its
    own copy of travinel.js (a page cannot import the module from the service before the
    browser lets it reach the local network)."""
    folder = os.path.join(args.work, "loja")
    os.makedirs(folder, exist_ok=True)
    certificate = os.path.join(args.work, "loja.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=" + SHOP_HOST, "-addext", "subjectAltName=DNS:" + SHOP_HOST,
                    "-keyout", certificate, "-out", certificate],
                   check=True, capture_output=True)
    status, module = request(service, "GET", "/travinel.js")
    with open(os.path.join(folder, "travinel.js"), "wb") as f:
        f.write(module)
    page = """<!DOCTYPE html><meta charset="utf-8"><div id="resultado">esperando</div>
<script type="module">
import { Travinel } from "./travinel.js";
const resultado = document.getElementById("resultado");
const balanca = new Travinel("%s");
balanca.Porta = %s;
balanca.Mod_Bal = 1;
try {
  await balanca.LerPeso();
  resultado.textContent = "peso " + balanca.PesoLido;
} catch (erro) {
  resultado.textContent = "erro " + (erro.causa || erro.estado) + ": " + erro.message;
}
</script>""" % (service, json.dumps(args.scale))
    with open(os.path.join(folder, "index.html"), "w") as f:
        f.write(page)

    class QuietHandler(SimpleHTTPRequestHandler):
        def log_message(self, *arguments):
            pass

    server = ThreadingHTTPServer(("127.0.0.1", args.shop_port),
                                 partial(QuietHandler, directory=folder))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class ManagedPolicy:
    """A managed Chromium policy file of the test's own, removed with every folder the test had
    to create for it, whatever happens in between."""

    def __init__(self, path, policies):
        self.policies = policies
        self.path = path
        self.created = []

    def __enter__(self):
        folder = os.path.dirname(self.path)
        missing = []
        while not os.path.isdir(folder):
            missing.append(folder)
            folder = os.path.dirname(folder)
        for folder in reversed(missing):
            os.mkdir(folder)
            self.created.append(folder)
        with open(self.path, "x") as f:
            json.dump(self.policies, f)
        return self

    def __exit__(self, *exception):
        if os.path.exists(self.path):
            os.remove(self.path)
        for folder in reversed(self.created):
            os.rmdir(folder)
        return False


def shop_site_cases(args):
    """A page of the shop's public site (Local Network Access): refused by the browser, it says
    so at once; allowed by IT's policy, it reads the weight with nobody asked."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    origin = "https://%s:%d" % (SHOP_HOST, args.shop_port)

    def open_shop_page(deny):
        options = webdriver.ChromeOptions()
        for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                     "--ignore-certificate-errors",
                     "--host-resolver-rules=MAP %s 127.0.0.1" % SHOP_HOST,
                     "--ip-address-space-overrides=127.0.0.1:%d=public" % args.shop_port):
            options.add_argument(flag)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            if deny:
                driver.execute_cdp_cmd("Browser.setPermission", {
                    "permission": {"name": "local-network-access"}, "setting": "denied",
                    "origin": origin})
            start = time.monotonic()
            driver.get(origin + "/")
            try:
                WebDriverWait(driver, 20).until(
                    lambda d: d.find_element(By.ID, "resultado").text != "esperando")
            except Exception:
                pass
            return driver.find_element(By.ID, "resultado").text, time.monotonic() - start
        finally:
            driver.quit()

    control(args, "WEIGHT 1234")
    server = serve_shop_site(args, args.service)
    try:
        text, took = open_shop_page(deny=True)
        check(text.startswith("erro rede_local_bloqueada: O navegador bloqueou") and took < 15,
              "a public shop page refused local network access says so in %.1f s: %s"
              % (took, text))
        if os.geteuid() != 0:
            check(False, "the managed policy case needs root to write " + args.policy_file)
            return
        # The policies travinel configurar wrote for the shop's sites (into a root of the test's
        # own), put where Chromium reads its managed policies.
        with open(args.policy_source) as f:
            policies = json.load(f)
        check(policies.get("LoopbackNetworkAllowedForUrls") == ["https://[*.]loja.example:%d"
                                                              % args.shop_port],
              "travinel configurar wrote the shop's sites as a policy: %s" % policies)
        with ManagedPolicy(args.policy_file, policies):
            text, took = open_shop_page(deny=False)
        check(text == "peso 1234",
              "a shop page allowed by travinel configurar's policy reads the weight, nobody "
              "asked: %s" % text)
        check(not os.path.exists(args.policy_file), "the test's policy file is gone")
    finally:
        server.shutdown()


def browser_cases(args):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    options = webdriver.ChromeOptions()
    for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                 "--window-size=720,420"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        def shows(text, seconds=15):
            try:
                WebDriverWait(driver, seconds).until(
                    lambda d: text in d.find_element(By.ID, "status").text)
                return True
            except Exception:
                return False

        page = "%s/?Porta=%s&Mod_Bal=1&Usr_Bal=1" % (args.service, quote(args.scale))
        driver.get(page)
        check(shows("Peso Aferido: 1234 gramas"), "the demo page shows 1234 g")
        check(driver.find_element(By.ID, "peso").text == "1234", "the weight box shows 1234")
        if args.screenshot:
            driver.save_screenshot(args.screenshot)
        control(args, "WEIGHT 2500")
        check(shows("Peso Aferido: 2500 gramas"), "the page follows the scale to 2500 g")
        control(args, "STATE unstable")
        check(shows("Peso Instavel Aguarde Nova Leitura"), "an unstable scale shows its status")
        check(driver.find_element(By.ID, "peso").text == "",
              "the weight box shows no code for an unstable scale: %r"
              % driver.find_element(By.ID, "peso").text)
        control(args, "STATE stable")
        driver.find_element(By.ID, "habilitar").click()
        check(shows("Balança Desativada"), "unticking the box disables the scale")
        driver.find_element(By.ID, "ler").click()
        check(shows("Peso Aferido: 2500 gramas"), "Ler Peso reads once")
        # LerPeso of a silent scale rejects, naming what happened; the event object reaches
        # onstatus as its third argument.
        control(args, "SILENT on")
        outcome = driver.execute_async_script("""
const done = arguments[arguments.length - 1];
(async () => {
const { Travinel } = await import("/travinel.js");
const balanca = new Travinel(location.origin);
balanca.Porta = %s;
balanca.Mod_Bal = 1;
let evento = null;
balanca.onstatus = (status, peso, e) => { evento = e; };
try {
  await balanca.LerPeso();
  done("resolveu com " + balanca.PesoLido);
} catch (erro) {
  done([erro instanceof Error, erro.estado, evento && evento.estado, evento && evento.ok]);
}
})();""" % json.dumps(args.scale))
        control(args, "SILENT off")
        check(outcome == [True, "sem_resposta", "sem_resposta", False],
              "LerPeso of a silent scale rejects with estado sem_resposta: %r" % (outcome,))

        server = serve_refused_page(args, args.service)
        try:
            driver.get("http://127.0.0.1:%d/" % args.page_port)
            WebDriverWait(driver, 15).until(
                lambda d: d.find_element(By.ID, "resultado").text != "esperando")
            text = driver.find_element(By.ID, "resultado").text
            check(text == "recusado", "a page from a refused origin gets no weight: %s" % text)
        finally:
            server.shutdown()
    finally:
        driver.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("--page-port", type=int, required=True)
    parser.add_argument("--shop-port", type=int, required=True)
    parser.add_argument("--policy-file", required=True)
    parser.add_argument("--policy-source", required=True)
    parser.add_argument("--scale", required=True)
    parser.add_argument("--control", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("--only-browser", action="store_true")
    parser.add_argument("--only-shop", action="store_true")
    args = parser.parse_args()
    if not args.only_browser and not args.only_shop:
        security_cases(args)
        slow_and_abandoned_cases(args)
    if not args.only_shop:
        browser_cases(args)
    shop_site_cases(args)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
