#!/bin/sh
# router_double's standard input: commands carried out in order, answers
# and errors one line each, "quit" ends it.
#
#   double_commands.sh BIN_DIR
set -eu
bin=$1
got=$(printf 'state\nset 0 5\nroute 3 7\nstate\ntally 9\nflood-labels 3\nbogus line\nquit\n' |
    "$bin/router_double" --swp08 --port 0 --inputs 8 --outputs 4 | grep -v '^port ')
expected='routes 0 0 0 0
routes 5 0 0 7
flood-labels: not for this protocol
unknown command "bogus"'
if [ "$got" != "$expected" ]; then
    printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$got" >&2
    exit 1
fi
