# Runs inside snmptrapd (its perl directive): each notification becomes one record appended to
# the spool that talvex-eventd takes into the event journal. Nothing here waits on the journal,
# so snmptrapd goes back to its socket at once and answers an inform as soon as it is recorded.
#
#   perl do "/usr/share/talvex/talvex-spool.pl"; Talvex::Spool::start("/var/spool/talvex");
#
# A record: "@LENGTH\n" and LENGTH bytes: "name value" lines (type, request, version, transport,
# security, engine, received), an empty line, then one "OID value" line per binding, the value
# as snmptrapd prints it without its type word. The file starts with "talvex-spool 1 ID\n"; ID
# tells talvex-eventd which file its committed position belongs to.
package Talvex::Spool;

use strict;
use warnings;
use Fcntl qw(O_WRONLY O_APPEND O_CREAT O_NOFOLLOW O_NONBLOCK :flock :mode);
use NetSNMP::TrapReceiver;
use Time::HiRes ();

# talvex-eventd takes no record longer than this; an SNMP message over UDP cannot come near it.
our $MaxRecord = 1 << 20;
# Past this the spool takes nothing more: talvex-eventd has been unable to write for a long
# time, and the disk is not ours to fill.
our $MaxSpool = 256 << 20;

my ($path, $fh, @id, $dropped, $toldAt);

sub tell_once {
    my ($text) = @_;
    my $now = time;
    return if defined $toldAt && $now - $toldAt < 60;
    $toldAt = $now;
    warn "talvex-spool: $text\n";
}

# The spool file, opened without following a link: snmptrapd often runs as root, and the
# folder is not a place root should write through.
sub reopen {
    close $fh if $fh;
    undef $fh;
    my $h;
    unless (sysopen($h, $path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0640)) {
        tell_once("cannot open $path: $!; notifications are dropped");
        return 0;
    }
    my @st = stat($h);
    unless (S_ISREG($st[2]) && $st[4] == $> && $st[3] == 1) {
        tell_once("$path is not a regular file of this user with one name; notifications are dropped");
        close $h;
        return 0;
    }
    $fh = $h;
    @id = @st[0, 1];
    return 1;
}

sub escape_line {
    my ($v) = @_;
    $v =~ s/[\r\n]/ /g;
    return length($v) > 256 ? substr($v, 0, 256) : $v;
}

sub record {
    my ($pdu, $vars) = @_;
    my $engine = defined $pdu->{securityEngineID} ? unpack('H*', $pdu->{securityEngineID}) : '';
    my $head = sprintf("type %s\nrequest %s\nversion %s\ntransport %s\nsecurity %s\nengine %s\n" .
                       "received %.0f\n\n",
                       escape_line($pdu->{notificationtype} // ''),
                       escape_line($pdu->{requestid} // ''),
                       escape_line($pdu->{version} // ''),
                       escape_line($pdu->{receivedfrom} // ''),
                       escape_line($pdu->{securityName} // ''),
                       escape_line($engine), Time::HiRes::time() * 1000);
    my $body = $head;
    my $left = 0;
    for my $b (@$vars) {
        my $oid = '.' . join('.', $b->[0]->to_array());
        my $value = $b->[1] // '';
        # An OID value in numbers whatever output options snmptrapd was given.
        $value = '.' . join('.', $b->[3]->to_array()) if $b->[2] == 6 && ref $b->[3];
        # "STRING: "x"" -> ""x"": the value as a traphandle program is given it.
        $value =~ s/^[A-Za-z][A-Za-z0-9 -]*: //;
        $value =~ s/[\r\n]+/ /g unless substr($value, 0, 1) eq '"';
        my $line = "$oid $value\n";
        if (length($body) + length($line) > $MaxRecord - 64) {
            $left++;
            next;
        }
        $body .= $line;
    }
    $body .= ".0 [$left more bindings not kept]\n" if $left;
    return '@' . length($body) . "\n" . $body;
}

sub take {
    my ($pdu, $vars) = @_;
    my $rec;
    {
        use bytes;
        $rec = record($pdu, $vars);
    }
    for my $try (1 .. 2) {
        return NETSNMPTRAPD_HANDLER_FAIL unless $fh || reopen();
        # talvex-eventd renames a consumed spool aside under this lock; a record goes into the
        # file that has the name.
        flock($fh, LOCK_EX);
        my @now = lstat $path;
        unless (@now && $now[0] == $id[0] && $now[1] == $id[1]) {
            flock($fh, LOCK_UN);
            reopen();
            next;
        }
        my $size = (stat $fh)[7];
        my $out = '';
        $out = sprintf("talvex-spool 1 %x-%x-%08x\n", Time::HiRes::time() * 1e6, $$,
                       int(rand(4294967296))) if $size == 0;
        my $all = $out . $rec;
        if ($size + length($all) > $MaxSpool) {
            flock($fh, LOCK_UN);
            $dropped++;
            tell_once("$path holds $size bytes that talvex-eventd has not taken; " .
                      "$dropped notifications dropped so far");
            return NETSNMPTRAPD_HANDLER_FAIL;
        }
        my $n = syswrite($fh, $all);
        if (!defined $n || $n != length($all)) {
            # A part of a record would be read as the start of the next: take it back.
            truncate($fh, $size);
            flock($fh, LOCK_UN);
            $dropped++;
            tell_once("cannot write $path: " . ($! || 'short write') .
                      "; $dropped notifications dropped so far");
            return NETSNMPTRAPD_HANDLER_FAIL;
        }
        flock($fh, LOCK_UN);
        return NETSNMPTRAPD_HANDLER_OK;
    }
    return NETSNMPTRAPD_HANDLER_FAIL;
}

sub start {
    my ($dir) = @_;
    $path = "$dir/spool";
    reopen();
    NetSNMP::TrapReceiver::register("all", \&take)
        or warn "talvex-spool: snmptrapd did not take the handler\n";
}

1;
