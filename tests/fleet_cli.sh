#!/usr/bin/env bash
# The fleet on a real engine: an sshd of the test's own on 127.0.0.1, with
# a key made here, host aliases that reach it (alpha and beta with the tool
# on their PATH, gamma on a second port whose PATH lacks it, closed on a
# port nothing listens on), GNU parallel between. A/A and a planted
# difference through a stand-in benchmark, so that both "machines" must
# agree exactly; then the faults: an unreachable host, a missing tool,
# Ctrl-C. Every connection goes to 127.0.0.1 and the sshd is stopped at
# the end.
# Usage: fleet_cli.sh MEMSET-REPORT
report=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
. "$(dirname "$0")/lib.sh"
sshd=$(command -v sshd || echo /usr/sbin/sshd)
if [ ! -x "$sshd" ] || ! command -v parallel >/dev/null || ! command -v rsync >/dev/null; then
  echo "sshd, GNU parallel or rsync missing (tests/setup.sh installs them)"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
fi
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port) other=$(free_port) closed=$(free_port)
ssh-keygen -q -t ed25519 -N '' -f "$tmp/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$tmp/user_key"
cp "$tmp/user_key.pub" "$tmp/authorized_keys"
mkdir -p "$tmp/bin" && ln -s "$report" "$tmp/bin/memset-report"
cat >"$tmp/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
Port $other
HostKey $tmp/host_key
AuthorizedKeysFile $tmp/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
PidFile $tmp/sshd.pid
Match LocalPort $port
  SetEnv PATH=$tmp/bin:/usr/bin:/bin HOME=$tmp/home
Match LocalPort $other
  SetEnv PATH=/usr/bin:/bin HOME=$tmp/home
EOF
cat >"$tmp/ssh_config" <<EOF
Host gamma
  Port $other
Host closed
  Port $closed
Host *
  HostName 127.0.0.1
  Port $port
  User $(id -un)
  IdentityFile $tmp/user_key
  IdentitiesOnly yes
  StrictHostKeyChecking no
  UserKnownHostsFile /dev/null
  LogLevel ERROR
  BatchMode yes
  ConnectTimeout 10
EOF
[ "$(id -u)" = 0 ] && mkdir -p /run/sshd
# GNU parallel's own files, here and on the "hosts", stay in the test's folder.
mkdir -p "$tmp/home"
export HOME=$tmp/home
"$sshd" -f "$tmp/sshd_config" -E "$tmp/sshd.log" || { fail "sshd did not start: $(tail -2 "$tmp/sshd.log")"; finish; exit; }
trap 'kill "$(cat "$tmp/sshd.pid" 2>/dev/null)" 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$tmp/sshd.pid" ] && break; sleep 0.2; done
ssh=(--ssh "ssh -F $tmp/ssh_config")

# The stand-in benchmark: the same values every run, scaled by FAKE_SCALE,
# slowly under FAKE_MODE=slow.
cat >"$tmp/fake" <<FAKE
#!/usr/bin/env bash
[ "\${FAKE_MODE:-}" = slow ] && sleep 0.5
$(declare -f fake_values)
fake_values >"\$1"
FAKE
chmod +x "$tmp/fake"

# A/A on two hosts: same on both, everywhere; the folders come back whole.
printf 'alpha\n# a comment\n\nbeta\n' >"$tmp/hosts"
expect 0 "an A/A fleet" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/aa" "${ssh[@]}" -- \
  run --runs 8 --bench "$tmp/fake" --variant a --variant b
for h in alpha beta; do
  [ -s "$tmp/aa/$h/context.txt" ] && [ -d "$tmp/aa/$h/b" ] || fail "$h's folder did not come back"
  grep -qx "host: $h ok $h" "$tmp/aa/fleet.txt" || fail "fleet.txt on $h: $(cat "$tmp/aa/fleet.txt")"
done
expect 0 "its summary" -- "$report" summary "$tmp/aa"
grep -q "^across: .* same on 2 of 2" "$tmp/out" || fail "A/A: $(grep '^across' "$tmp/out")"
! grep -qE "^across: .*(faster|slower) on|^across: .* on 1[ ,;]" "$tmp/out" || fail "A/A not the same: $(grep '^across' "$tmp/out")"
grep -qx "=== machine alpha" "$tmp/out" && grep -qx "=== machine beta" "$tmp/out" || fail "machines not named"
expect 0 "its page" -- "$report" summary --html "$tmp/aa.html" "$tmp/aa"
[ "$(grep -c '<section class="machine"' "$tmp/aa.html")" = 2 ] && grep -q "<li>across: .* same on 2 of 2" "$tmp/aa.html" ||
  fail "the page of two machines"

# A planted difference: slower on both, by the same 1.30.
expect 0 "a planted difference" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/diff" "${ssh[@]}" -- \
  run --runs 8 --bench "$tmp/fake" --variant a --variant b --env FAKE_SCALE=1.3
expect 3 "the gate" -- "$report" summary --fail-if-slower 5 "$tmp/diff"
grep -q "^across: .* slower on 2 of 2 (1.3" "$tmp/out" || fail "planted: $(grep '^across' "$tmp/out")"
grep -qE "^across: .*(faster|same|unclear) on|^across: .* on 1[ ,;]" "$tmp/out" && fail "the machines disagree: $(grep '^across' "$tmp/out")"
grep -q "alpha" "$tmp/err" && grep -q "beta" "$tmp/err" || fail "the gate does not name the machines: $(cat "$tmp/err")"
# The JSON says the same, read by Python's own parser.
expect 0 "its JSON" -- "$report" summary --json "$tmp/diff"
/usr/bin/python3 - "$tmp/out" <<'EOF' || fail "the JSON across machines"
import json, sys
j = json.load(open(sys.argv[1]))
assert [m['name'] for m in j['machines']] == ['alpha', 'beta'], j['machines']
stretches = j['across'][0]['stretches']
assert stretches and all('slower on 2 of 2' in s['across'] for s in stretches), stretches
assert all(m['verdict'] == 'slower' for s in stretches for m in s['machines'])
EOF

# --more: every host's campaign goes on where it was, and comes back.
before=$(grep -c '^order:' "$tmp/aa/alpha/context.txt")
expect 0 "fleet --more" -- "$report" fleet --more "$tmp/aa" --budget 3 "${ssh[@]}"
[ "$(grep -c '^order:' "$tmp/aa/alpha/context.txt")" -gt "$before" ] || fail "--more added no rounds on alpha"
grep -qx "budget: 3 s" "$tmp/aa/beta/context.txt" || fail "--more --budget did not reach beta: $(grep budget "$tmp/aa/beta/context.txt")"
grep -qx "host: beta ok beta" "$tmp/aa/fleet.txt" || fail "--more: $(cat "$tmp/aa/fleet.txt")"

# A program campaign on every host: its time's verdicts side by side.
expect 0 "a program fleet" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/prog" "${ssh[@]}" -- \
  program --runs 6 --variant a --variant b -- sh -c 'echo "$0 a b" >/dev/null'
expect 0 "its summary" -- "$report" summary "$tmp/prog"
grep -qE "^across: time: [a-z]+ on [12].*; alpha [a-z]+ [0-9.]+ .*, beta [a-z]+ [0-9.]+" "$tmp/out" || fail "program across: $(grep '^across' "$tmp/out")"
expect 0 "its JSON" -- "$report" summary --json "$tmp/prog"
/usr/bin/python3 -c 'import json, sys; j = json.load(open(sys.argv[1])); assert j["across"][0]["figure"] == "time" and len(j["across"][0]["machines"]) == 2, j' "$tmp/out" ||
  fail "program JSON across machines"

# Two fleets of the same hosts and variants: each machine counted once.
expect 0 "two fleets at once" -- "$report" summary "$tmp/aa" "$tmp/diff"
[ "$(grep -c "counted once" "$tmp/out")" = 2 ] || fail "counted twice: $(grep '^note' "$tmp/out")"

# A campaign that fails on every host: each says why.
expect 11 "a failing campaign" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/bad" "${ssh[@]}" -- run --bogus
grep -q "fleet: alpha: failed: memset-report: run: unknown option '--bogus'" "$tmp/err" || fail "failed: $(cat "$tmp/err")"

# Faults, each a line of its own; the host that answered is kept whole.
printf 'alpha\ngamma\nclosed\n' >"$tmp/faulty"
expect 11 "a fleet with faults" -- "$report" fleet --hosts "$tmp/faulty" --out "$tmp/faults" "${ssh[@]}" -- \
  run --runs 6 --bench "$tmp/fake" --variant a --variant b
grep -q "fleet: gamma: missing: memset-report is not on this host's PATH" "$tmp/err" || fail "missing: $(cat "$tmp/err")"
grep -q "fleet: closed: unreachable: ssh: connect to host 127.0.0.1 port $closed" "$tmp/err" || fail "unreachable: $(cat "$tmp/err")"
[ -s "$tmp/faults/alpha/context.txt" ] || fail "the host that answered was not kept"
expect 0 "a summary of what came back" -- "$report" summary "$tmp/faults"
grep -q "^note: gamma did not answer: missing" "$tmp/out" && grep -q "^note: closed did not answer: unreachable" "$tmp/out" ||
  fail "the summary does not name the hosts that did not answer: $(grep '^note' "$tmp/out")"

# Another version on a host: the check refuses it there.
printf '#!/bin/sh\n[ "$1" = --version ] && echo "memset-report 0.0.1" && exit 0\nexit 1\n' >"$tmp/old"
chmod +x "$tmp/old" && ln -sf "$tmp/old" "$tmp/bin/memset-report"
expect 11 "another version" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/old-fleet" "${ssh[@]}" -- run --runs 6
grep -q "fleet: alpha: version: this host's memset-report 0.0.1 is not memset-report" "$tmp/err" || fail "version: $(cat "$tmp/err")"
ln -sf "$report" "$tmp/bin/memset-report"

# Ctrl-C: the fleet stops, says so per host, and leaves nothing running.
"$report" fleet --hosts "$tmp/hosts" --out "$tmp/int" "${ssh[@]}" -- \
  run --runs 200 --bench "$tmp/fake" --variant a --variant b --env FAKE_MODE=slow >"$tmp/out" 2>"$tmp/err" &
fleet=$!
sleep 4
kill -INT "$fleet"
wait "$fleet"
st=$?
[ "$st" = 130 ] || fail "Ctrl-C: status $st, want 130; $(tail -3 "$tmp/err")"
grep -q "fleet: alpha: interrupted" "$tmp/err" && grep -q "fleet: beta: interrupted" "$tmp/err" || fail "Ctrl-C per host: $(cat "$tmp/err")"
grep -q "host: alpha interrupted" "$tmp/int/fleet.txt" || fail "Ctrl-C not recorded"
sleep 1
! pgrep -f "$tmp/fake" >/dev/null || fail "a host's campaign still runs after Ctrl-C"
ls "$tmp/home/.parallel/tmp" >/dev/null 2>&1 || fail "the hosts' scratch folders were not in the test's HOME"

# Bad command lines.
expect 2 "no campaign" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/x"
expect 2 "--out in the campaign" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/x" -- run --out y
expect 2 "not a campaign" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/x" -- summary
printf '@grp/alpha\n' >"$tmp/groups"
expect 1 "a hostgroup" -- "$report" fleet --hosts "$tmp/groups" --out "$tmp/x" -- run
expect 2 "--budget without --more" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/x" --budget 5 -- run
expect 1 "a folder in use" -- "$report" fleet --hosts "$tmp/hosts" --out "$tmp/aa" -- run
[ ! -e "$tmp/x" ] || fail "a refused fleet made its folder"
finish
