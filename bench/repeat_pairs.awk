# The repeat figures of one-figure campaigns, from their verdict lines
# ("time: slower 1.031 [1.005, 1.058] ..." or "mix: ..."), one a campaign:
# how many ordered pairs put the second campaign's ratio outside the first
# one's interval, and how many pairs of intervals share no value (then one
# of the two misses the true ratio, whatever it is). A campaign that stops at
# its first decided look stops where its estimate happened to be far from 1,
# so a repeat's ratio can fall outside an interval that holds the truth: the
# second count is the one a sound interval keeps near zero. With -v truth=R,
# also how many intervals hold R. Usage: awk -v kind=NAME [-v truth=R] -f ...
{ gsub(/[\[\],]/, " "); r[NR] = $3; lo[NR] = $4; hi[NR] = $5; held += lo[NR] <= truth && truth <= hi[NR] }
END {
  for (i = 1; i <= NR; i++) for (j = 1; j <= NR; j++) if (i != j) {
    n++; out += !(lo[i] <= r[j] && r[j] <= hi[i]); apart += hi[i] < lo[j] || hi[j] < lo[i]
  }
  if (truth != "") printf "%s: truth %.4f held by %d of %d intervals\n", kind, truth, held, NR
  printf "%s: %d of %d repeat ratios outside the other campaign's interval; %d of %d pairs of intervals share no value\n", kind, out, n, apart / 2, n / 2
}
