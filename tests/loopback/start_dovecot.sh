#!/bin/sh
# Runs a throw-away Dovecot POP3 server in the foreground for the loopback tests:
#   start_dovecot.sh DIR PORT TLS MESSAGES
# in the empty folder DIR, on PORT of 127.0.0.1; TLS "yes" offers STLS with a certificate
# for 127.0.0.1 in DIR/cert.pem; user "tester" (password "secret word") has MESSAGES
# messages. The script execs the server, so stopping this process stops it.
set -eu
dir=$1 port=$2 tls=$3 messages=$4
maildir=$dir/home/tester/Maildir
mkdir -p "$dir/run" "$dir/state" "$maildir/cur" "$maildir/new" "$maildir/tmp"
chmod 755 "$dir"  # the unprivileged login and mail processes need to reach their folders

if [ "$(id -u)" = 0 ]; then  # Dovecot runs no mail process as root
  internal_user=dovecot login_user=dovenull mail_user=nobody
else
  internal_user=$(id -un) login_user=$(id -un) mail_user=$(id -un)
fi

i=1
while [ "$i" -le "$messages" ]; do
  printf 'From: sender@example.com\r\nTo: tester@example.com\r\nSubject: Message %s\r\n\r\nBody %s.\r\n' \
    "$i" "$i" >"$maildir/new/100000000$i.M1P1.velmora"
  i=$((i + 1))
done
printf 'tester:{PLAIN}secret word\n' >"$dir/passwd"

ssl_lines="ssl = no"
if [ "$tls" = yes ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
  ssl_lines="ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem"
fi

cat >"$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
default_internal_user = $internal_user
default_login_user = $login_user
first_valid_uid = 1
disable_plaintext_auth = no
auth_mechanisms = plain
$ssl_lines
passdb {
  driver = passwd-file
  args = scheme=PLAIN $dir/passwd
}
userdb {
  driver = static
  args = uid=$(id -u "$mail_user") gid=$(id -g "$mail_user") home=$dir/home/%u
}
mail_location = maildir:~/Maildir
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    port = 0
  }
}
CONF

chown -R "$(id -u "$mail_user"):$(id -g "$mail_user")" "$dir/home"
exec dovecot -F -c "$dir/dovecot.conf"
