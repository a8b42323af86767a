#!/usr/bin/env bash
# A real POP3 server for the tests: Dovecot on a free loopback port, with a
# config and users of the project's own.
#
#   tools/dovecot-fixture.sh start LINK [PORT]   start it; LINK becomes a link to its folder
#   tools/dovecot-fixture.sh stop LINK           stop it by its process id and remove the folder
#
# Without PORT it listens on a free port that the system picks. The folder
# holds "port", the passwd file and one maildir per user under mail/. Every
# user's password is "kivo-pass". The user "three" starts with three
# messages; the others ("empty", "box1" to "box9", and "demo" for
# tools/demo.sh) start empty.
set -eu

command=${1:?usage: $0 start|stop LINK [PORT]}
link=${2:?usage: $0 start|stop LINK [PORT]}
wanted_port=${3:-}
password=kivo-pass

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

deliver() {  # deliver USER N: N small messages into USER's maildir
  local box=$dir/mail/$1 i
  mkdir -p "$box/new" "$box/cur" "$box/tmp"
  for i in $(seq 1 "$2"); do
    printf 'From: kivo-test@localhost\r\nSubject: message %d\r\n\r\nbody %d\r\n' "$i" "$i" \
      > "$box/new/$(date +%s).fixture$i.localhost"
  done
}

stop() {
  [ -L "$link" ] || [ -d "$link" ] || return 0
  dir=$(readlink -f "$link")
  if [ -f "$dir/run/master.pid" ]; then
    pid=$(cat "$dir/run/master.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -rf "$dir" "$link"
}

case $command in
stop) stop ;;
start)
  stop
  # The login and mail processes run as unprivileged users, so the folder is
  # made outside any private tree and opened to them.
  dir=$(mktemp -d /tmp/kivo-dovecot.XXXXXX)
  chmod 755 "$dir"
  mkdir -p "$dir/run" "$dir/mail"
  chmod 777 "$dir/mail"
  port=${wanted_port:-$(free_port)}
  : > "$dir/passwd"
  for user in empty three box1 box2 box3 box4 box5 box6 box7 box8 box9 demo; do
    echo "$user:{PLAIN}$password::::::" >> "$dir/passwd"
    # Made here, open to all: the tests deliver into them as other users.
    mkdir -p "$dir/mail/$user/new" "$dir/mail/$user/cur" "$dir/mail/$user/tmp"
  done
  deliver three 3
  chmod -R a+rwX "$dir/mail"
  cat > "$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/run/state
log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
default_login_user = dovenull
default_internal_user = dovecot
mail_location = maildir:$dir/mail/%u
passdb {
  driver = passwd-file
  args = scheme=PLAIN $dir/passwd
}
userdb {
  driver = static
  args = uid=nobody gid=nogroup home=$dir/mail/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
}
CONF
  dovecot -c "$dir/dovecot.conf" </dev/null >/dev/null 2>&1
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  echo "$port" > "$dir/port"
  ln -sfn "$dir" "$link"
  echo "dovecot on 127.0.0.1:$port, folder $dir"
  ;;
*) echo "usage: $0 start|stop LINK [PORT]" >&2; exit 2 ;;
esac
