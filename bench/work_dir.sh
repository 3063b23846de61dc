# Sourced by bench scripts: sets tmp to the folder their campaigns go in,
# KEEP (a new folder, kept to be read again) or a scratch one removed on exit.
if [ -n "${KEEP:-}" ]; then
  mkdir "$KEEP"
  tmp=$(cd "$KEEP" && pwd)
else
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
fi
