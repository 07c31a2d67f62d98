#!/usr/bin/perl
# Checks that every report the library makes is listed in the contract
# block of the header its report source names, and that every report a
# contract block lists is made.
#
#   check_report_texts.pl SOURCE_ROOT
#
# A report site is a call of TARNCOLL_ASSERT / TARNCOLL_FAIL_IF_NIL
# (cpcoll/detail/report.h) or of Exceptions' Assert / FailIfNIL in
# cpcoll/, cpcoll/detail/ or util/.  Its source name ("cpcoll\\BTree")
# names the header that documents it (cpcoll/BTree.h; letter case aside).
#
# A contract block is the comment before a header's include guard.  Its
# report paragraph starts with "Reports" and ends at an empty comment
# line:
#
#   // Reports (source "cpcoll\BTree"): "etdsState == etreeNumber",
#   // "1==0"; FailIfNIL "plfNew", "pplfVector"; and "nLength >0"
#   // (cpcoll\cpcollec).
#
# Parts are separated by ';'.  Texts of a part that names FailIfNIL are
# FailIfNIL reports, the others Assert reports.  A part that ends with a
# parenthesised source name lists reports of that source, made on this
# header's behalf; "(source ...)" must be the header's own source name.
# Exits 1 and lists every difference.
use strict;
use warnings;

my $root = shift or die "usage: $0 SOURCE_ROOT\n";
my @errors;

sub slurp {
  my ($f) = @_;
  open(my $fh, '<', $f) or die "$f: $!\n";
  local $/;
  return <$fh>;
}

sub key_of { my ($src) = @_; (my $k = lc $src) =~ s{\\\\?}{/}g; return $k; }

# ---- report sites ------------------------------------------------------------
# $made{source key}{"Assert|text"} = "file:line"
my %made;
my @sources = (glob("$root/cpcoll/*.cpp"), glob("$root/cpcoll/detail/*.cpp"), glob("$root/cpcoll/detail/*.h"),
               glob("$root/util/*.cpp"), glob("$root/cpcoll/*.h"));
for my $file (@sources) {
  next if $file =~ m{/detail/report\.h$};
  my $text = slurp($file);
  (my $code = $text) =~ s{//[^\n]*}{}g;  # comments name reports without making them
  my %const;
  while ($code =~ /const\s+char\s+(\w+)\[\]\s*=\s*"((?:[^"\\]|\\.)*)"/g) { $const{$1} = $2; }
  while ($code =~ /(TARNCOLL_ASSERT|TARNCOLL_FAIL_IF_NIL|->\s*Assert|->\s*FailIfNIL)\s*\(/g) {
    my ($call, $start) = ($1, pos($code));
    my ($depth, $i) = (1, $start);
    while ($depth > 0 && $i < length $code) {
      my $c = substr($code, $i++, 1);
      $depth++ if $c eq '(';
      $depth-- if $c eq ')';
    }
    my $args = substr($code, $start, $i - $start - 1);
    my $line = 1 + (() = substr($code, 0, $start) =~ /\n/g);
    my $kind = $call =~ /FAIL|FailIfNIL/ ? 'FailIfNIL' : 'Assert';
    # The source is the second argument of the macros, the first of the calls.
    my @parts = split /,/, $args;
    my $srcArg = $call =~ /^TARNCOLL_/ ? $parts[1] : $parts[0];
    next unless defined $srcArg;
    $srcArg =~ s/^\s+|\s+$//g;
    my $src = $srcArg =~ /^"(.*)"$/ ? $1 : $const{$srcArg};
    next unless defined $src;  # a forwarding helper: its caller names the text
    # The texts: every literal after the source (and line) arguments.
    my $rest = $args;
    $rest =~ s/^[^,]*,[^,]*,//;
    my @texts = $rest =~ /"((?:[^"\\]|\\.)*)"/g;
    push @errors, "$file:$line: a report without a literal text" unless @texts;
    (my $rel = $file) =~ s{^\Q$root\E/}{};
    $made{key_of($src)}{"$kind|$_"} //= "$rel:$line" for @texts;
  }
}

# ---- contract blocks ---------------------------------------------------------
my %listed;  # $listed{source key}{"kind|text"} = header
my %headerOf;  # source key -> the header's path
for my $header (glob("$root/cpcoll/*.h"), glob("$root/util/*.h")) {
  (my $rel = $header) =~ s{^\Q$root\E/}{};
  (my $own = lc $rel) =~ s/\.h$//;
  $headerOf{$own} = $rel;
  my $text = slurp($header);
  my ($block) = $text =~ /\A(.*?)^#ifndef/ms;
  next unless defined $block;
  my @lines = map { s{^\s*//[/!<]?\s?}{}r } grep { m{^\s*//} } split /\n/, $block;
  my ($para, $in) = ('', 0);
  for (@lines) {
    $in = 1 if !$in && /^Reports\b/;
    next unless $in;
    last if /^\s*$/;
    $para .= " $_";
  }
  next unless $para;
  if ($para =~ /\(source "([^"]*)"\)/) {
    push @errors, "$rel: the contract block names source \"$1\"; the header's own is \"" . ($own =~ s{/}{\\}r) . "\""
      if key_of($1) ne $own;
  }
  $para =~ s/\(source "[^"]*"\)//;
  for my $part (split /;/, $para) {
    my $kind = $part =~ /\bFailIfNIL\b/ ? 'FailIfNIL' : 'Assert';
    my $src = $part =~ /"\s*\(\s*`?([a-z]+\\\w+)`?\s*\)/i ? key_of($1) : $own;
    $listed{$src}{"$kind|$_"} //= $rel for $part =~ /"((?:[^"\\]|\\.)*)"/g;
  }
}

for my $src (sort keys %made) {
  for my $r (sort keys %{ $made{$src} }) {
    next if $listed{$src}{$r};
    my ($kind, $t) = split /\|/, $r, 2;
    push @errors, "$made{$src}{$r}: $kind \"$t\" (source $src) is not listed in the contract block of " . ($headerOf{$src} // "$src.h (no such header)");
  }
}
for my $src (sort keys %listed) {
  for my $r (sort keys %{ $listed{$src} }) {
    next if $made{$src}{$r};
    my ($kind, $t) = split /\|/, $r, 2;
    push @errors, "$listed{$src}{$r}: lists $kind \"$t\" of source $src, which no report site makes";
  }
}

if (@errors) {
  print "$_\n" for @errors;
  printf "report texts: %d difference(s)\n", scalar @errors;
  exit 1;
}
my $n = 0;
$n += keys %{ $made{$_} } for keys %made;
print "report texts: $n reports, each listed in its header's contract block, and no other\n";
exit 0;
