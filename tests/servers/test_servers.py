#!/usr/bin/env python3
"""Starts and stops the servers the tests talk to, once per test run.

  test_servers.py start KIND... --state FILE [--port N]
  test_servers.py stop --state FILE

KIND: postgresql, mariadb, tds (tools/tds_server.py: SQL Server's protocol
on SQLite; its batch log is FOLDER/batches.log), wrndbd (our stand-in of the maker's
database server, tools/wrndbd.py), nginx. --port gives the port (one KIND only): a test
that starts a server where a client already waits. Each server runs in a folder of its own, on a
free 127.0.0.1 port, under the unprivileged user nobody when started by
root (PostgreSQL refuses root). FILE gets one line per server and value:
"KIND KEY VALUE" with the keys port, socket, folder and pid. The
PostgreSQL superuser is "postgres" and MariaDB's is "root", both without
a password; tests make databases of their own. nginx runs one worker
with its own configuration and prefix in its folder (never the packaged
service) and serves the folder's "www" subfolder, which tests fill: files
by length, files under "/chunked/" in chunks, and "/proxy/<port>/<path>"
passed on to 127.0.0.1:<port>/<path>.
"""
import argparse
import glob
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

START_BOUND_S = 60   # a server must accept connections within this
STOP_BOUND_S = 10    # SIGTERM, then SIGKILL after this
UNPRIVILEGED = "nobody"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def as_user():
    """The command prefix that drops root, and the uid/gid to own folders."""
    if os.getuid() != 0:
        return [], None
    pw = pwd.getpwnam(UNPRIVILEGED)
    return (["setpriv", "--reuid=%d" % pw.pw_uid, "--regid=%d" % pw.pw_gid, "--clear-groups"],
            (pw.pw_uid, pw.pw_gid))


def make_folder(kind, owner):
    folder = tempfile.mkdtemp(prefix="vttel-%s-" % kind)
    os.chmod(folder, 0o755)
    if owner:
        os.chown(folder, *owner)
    return folder


def wait_port(port, proc, log):
    deadline = time.monotonic() + START_BOUND_S
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise RuntimeError("server exited: see %s" % log)
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("server did not listen on %d within %d s" % (port, START_BOUND_S))


def spawn(prefix, argv, log):
    out = open(log, "ab")
    return subprocess.Popen(prefix + argv, stdin=subprocess.DEVNULL, stdout=out,
                            stderr=subprocess.STDOUT, start_new_session=True)


def run_setup(prefix, argv, folder):
    """Runs a server's one-off set-up (initdb, install-db); its output goes to
    FOLDER/setup.log, which stderr repeats when the set-up fails."""
    log = os.path.join(folder, "setup.log")
    with open(log, "wb") as out:
        done = subprocess.run(prefix + argv, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT)
    if done.returncode != 0:
        with open(log, errors="replace") as f:
            sys.stderr.write(f.read())
        raise RuntimeError("%s failed (%d): see %s" % (argv[0], done.returncode, log))


def private_subfolder(folder, name):
    """FOLDER/NAME, owned as FOLDER is (the server's user)."""
    path = os.path.join(folder, name)
    os.mkdir(path, 0o700)
    st = os.stat(folder)
    os.chown(path, st.st_uid, st.st_gid)
    return path


def start_postgresql(folder, prefix, port):
    bindir = sorted(glob.glob("/usr/lib/postgresql/*/bin"))[-1]
    data = os.path.join(folder, "data")
    run_setup(prefix, [os.path.join(bindir, "initdb"), "-D", data, "-U", "postgres",
                       "--auth=trust", "-E", "UTF8", "--locale=C", "--no-sync"], folder)
    proc = spawn(prefix, [os.path.join(bindir, "postgres"), "-D", data, "-k", folder,
                          "-p", str(port), "-h", "127.0.0.1", "-c", "fsync=off",
                          "-c", "synchronous_commit=off", "-c", "full_page_writes=off",
                          "-c", "max_connections=200"], os.path.join(folder, "server.log"))
    return proc, os.path.join(folder, ".s.PGSQL.%d" % port)


def start_mariadb(folder, prefix, port):
    data = os.path.join(folder, "data")
    # A temporary folder of its own: a starting MariaDB removes every
    # "#sql" file it finds in its temporary folder, those of another
    # server being set up at the same time included.
    tmp = "--tmpdir=" + private_subfolder(folder, "tmp")
    run_setup(prefix, ["mariadb-install-db", "--no-defaults", "--datadir=" + data, tmp,
                       "--auth-root-authentication-method=normal", "--skip-test-db"], folder)
    sock = os.path.join(folder, "mysqld.sock")
    proc = spawn(prefix, ["mariadbd", "--no-defaults", "--datadir=" + data, tmp, "--socket=" + sock,
                          "--port=%d" % port, "--bind-address=127.0.0.1",
                          "--pid-file=" + os.path.join(folder, "mariadbd.pid"),
                          "--innodb-flush-log-at-trx-commit=0", "--skip-log-bin",
                          "--character-set-server=utf8mb4", "--max-connections=300"],
                 os.path.join(folder, "server.log"))
    return proc, sock


def start_tds(folder, prefix, port):
    # A copy in the server's folder, so the unprivileged user can read it.
    script = os.path.join(folder, "tds_server.py")
    shutil.copy(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                             "tds_server.py"), script)
    proc = spawn(prefix, [sys.executable, script, "--port", str(port), "--folder", folder],
                 os.path.join(folder, "server.log"))
    return proc, ""


NGINX_CONF = """daemon off;
worker_processes 1;
pid %(folder)s/nginx.pid;
error_log %(folder)s/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path %(folder)s/body;
    proxy_temp_path %(folder)s/proxy;
    fastcgi_temp_path %(folder)s/fastcgi;
    uwsgi_temp_path %(folder)s/uwsgi;
    scgi_temp_path %(folder)s/scgi;
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:%(port)d;
        root %(folder)s/www;
        location /chunked/ { ssi on; ssi_types *; }
        location ~ ^/proxy/(\\d+)(/.*)$ {
            proxy_pass http://127.0.0.1:$1$2$is_args$args;
            proxy_http_version 1.1;
        }
    }
}
"""


def start_nginx(folder, prefix, port):
    www = os.path.join(folder, "www")
    os.makedirs(os.path.join(www, "chunked"))
    conf = os.path.join(folder, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF % {"folder": folder, "port": port})
    # The tests write the served files as the user they run as.
    for path in (www, os.path.join(www, "chunked")):
        os.chmod(path, 0o777)
    proc = spawn(prefix, ["nginx", "-p", folder, "-c", conf, "-e", os.path.join(folder, "error.log")],
                 os.path.join(folder, "server.log"))
    return proc, ""


def start_wrndbd(folder, prefix, port):
    server = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                          "wrndbd.py")
    proc = spawn(prefix, [sys.executable, os.path.normpath(server), "--port", str(port)],
                 os.path.join(folder, "server.log"))
    return proc, ""


STARTERS = {"postgresql": start_postgresql, "mariadb": start_mariadb, "tds": start_tds,
            "wrndbd": start_wrndbd, "nginx": start_nginx}


def start(kinds, state, port=None):
    unknown = [k for k in kinds if k not in STARTERS]
    if unknown or (port and len(kinds) != 1):
        raise SystemExit("unknown server kind or --port with several: %s" % " ".join(kinds))
    prefix, owner = as_user()
    lines = []
    try:
        for kind in kinds:
            folder = make_folder(kind, owner)
            kind_port = port or free_port()
            proc, sock = STARTERS[kind](folder, prefix, kind_port)
            lines += ["%s folder %s" % (kind, folder), "%s pid %d" % (kind, proc.pid)]
            wait_port(kind_port, proc, os.path.join(folder, "server.log"))
            lines += ["%s port %d" % (kind, kind_port), "%s socket %s" % (kind, sock)]
    finally:
        with open(state, "w") as f:
            f.write("".join(line + "\n" for line in lines))
    return 0


def read_state(state):
    values = {}
    try:
        with open(state) as f:
            for line in f:
                kind, key, value = line.rstrip("\n").split(" ", 2)
                values.setdefault(kind, {})[key] = value
    except FileNotFoundError:
        pass
    return values


def stop_pid(pid):
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + STOP_BOUND_S
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return
        time.sleep(0.05)
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def stop(state):
    for kind, values in read_state(state).items():
        if "pid" in values:
            stop_pid(int(values["pid"]))
        if "folder" in values:
            shutil.rmtree(values["folder"], ignore_errors=True)
    if os.path.exists(state):
        os.remove(state)
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop"])
    parser.add_argument("kinds", nargs="*")
    parser.add_argument("--state", required=True)
    parser.add_argument("--port", type=int)
    args = parser.parse_args()
    if args.command == "start":
        return start(args.kinds, args.state, args.port)
    return stop(args.state)


if __name__ == "__main__":
    sys.exit(main())
