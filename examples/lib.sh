# Helpers for the example scripts, sourced by each examples/<program>/demo.sh: they show each
# command as it would be typed, what it printed, and what it made.
#   BIN   the folder of the built programs (set by examples/demo.sh)

# A heading for the next step.
say() { printf '\n# %s\n' "$*"; }

# run [-q | -t N] [-i INPUT] PROGRAM ARGS...: shows "$ PROGRAM ARGS" (with the piped INPUT, if
# any), runs it from $BIN with INPUT as its standard input (empty when none), and shows what it
# printed on either stream, indented (-q: not; -t N: only its last N lines), and an exit status
# other than 0.
run() {
  local quiet="" input="" shown="" tail_lines=""
  if [ "${1:-}" = "-q" ]; then quiet=1; shift; fi
  if [ "${1:-}" = "-t" ]; then tail_lines=$2; shift 2; fi
  if [ "${1:-}" = "-i" ]; then
    input=$2
    local escaped=${input//\\/\\\\}
    shown="printf '${escaped//$'\n'/\\n}' | "
    shift 2
  fi
  local program=$1
  shift
  local quoted=() arg
  for arg in "$@"; do
    case $arg in
      *[!A-Za-z0-9._/=-]* | '') quoted+=("'$arg'") ;;
      *) quoted+=("$arg") ;;
    esac
  done
  printf '$ %s%s %s\n' "$shown" "$program" "${quoted[*]}"
  local status=0
  printf '%s' "$input" | "$BIN/$program" "$@" >.out 2>&1 || status=$?
  # Bell characters and the blank lines that prompts begin with are left out.
  if [ -z "$quiet" ]; then
    { cat .out; echo; } | tr -d '\a' | sed '/^[[:space:]]*$/d; s/^/  | /' |
      if [ -n "$tail_lines" ]; then tail -n "$tail_lines"; else cat; fi
  fi
  rm -f .out
  [ "$status" -eq 0 ] || echo "  (exit status $status)"
}

# made FILE...: each file's name and size and its first bytes in hex (all of a short file).
made() {
  local f size
  for f in "$@"; do
    if [ ! -e "$f" ]; then
      echo "  -> $f: not made"
      continue
    fi
    size=$(wc -c <"$f" | tr -d ' ')
    printf '  -> %s (%s bytes): %s%s\n' "$f" "$size" \
      "$(od -An -tx1 -N 24 -v "$f" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')" \
      "$([ "$size" -gt 24 ] && echo ' ...')"
  done
}

# same A B: says whether two files hold the same bytes.
same() {
  if cmp -s "$1" "$2"; then echo "  = $1 and $2 hold the same bytes"; else echo "  ! $1 and $2 differ"; fi
}
