#!/usr/bin/env bash
# docs/layout.md against the source: every file of src/report/ is named in
# its folder's row of the table, every module the table or "where to look"
# names exists, and so does every bench/ script it names.
root=$1
. "$(dirname "$0")/lib.sh"
layout=$root/docs/layout.md

# Each folder's row: | `stats/` | ... |
for dir in "$root"/src/report/*/; do
  folder=$(basename "$dir")
  row=$(grep -F "| \`$folder/\` |" "$layout")
  [ -n "$row" ] || { fail "layout.md has no row for src/report/$folder/"; continue; }
  for file in "$dir"*.cpp "$dir"*.hpp; do
    module=$(basename "$file" | sed 's/\.[ch]pp$//')
    # A header of helpers named with its module's own name, or in the row.
    case "$row" in
    *"\`$module\`"* | *"\`$module."*) ;;
    *) fail "layout.md's row for $folder/ does not name $module" ;;
    esac
  done
  # The other way: what the row names in backticks as a module is a file.
  for module in $(printf '%s\n' "$row" | cut -d'|' -f3 | grep -o '`[a-z_]*`' | tr -d '`' | sort -u); do
    ls "$dir$module".[ch]pp >/dev/null 2>&1 || grep -q "\b$module\b" "$dir"*.[ch]pp ||
      fail "layout.md names $folder/$module, which is no file nor anything in one"
  done
done

# "folder/module" references anywhere on the page.
for ref in $(grep -o '`\(sys\|formats\|stats\|campaign\|capture\|advice\|render\|cli\)/[a-z_]*\(\.[ch]pp\)\?`' "$layout" | tr -d '`' | sort -u); do
  case "$ref" in
  */) ;;
  *.cpp | *.hpp) [ -e "$root/src/report/$ref" ] || fail "layout.md names src/report/$ref, which is not there" ;;
  *) ls "$root/src/report/$ref".[ch]pp >/dev/null 2>&1 || fail "layout.md names src/report/$ref, which is not there" ;;
  esac
done

# bench/ scripts and sources it names.
for script in $(grep -o '`[a-z_]*\.\(sh\|c\|awk\)`' "$layout" | tr -d '`' | sort -u); do
  [ -e "$root/bench/$script" ] || [ -e "$root/tests/$script" ] || [ -e "$root/fuzz/$script" ] ||
    fail "layout.md names $script, which is in none of bench/, tests/, fuzz/"
done
finish
