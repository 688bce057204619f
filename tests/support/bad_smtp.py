# SMTP servers on 127.0.0.1 that misbehave on purpose, for the delivery
# tests. Usage: bad_smtp.py MODE PORT FOLDER. Writes FOLDER/ready when
# listening and appends each RCPT TO address to FOLDER/rcpt. MODE:
#   close-at-connect  closes each connection at once
#   close-in-data     closes in the middle of the message data
#   quiet-after-data  never answers the end of the message data
#   quiet-after-quit  accepts the mail, never answers QUIT
import os
import socket
import sys
import threading
import time

mode, port, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3]
os.makedirs(folder, exist_ok=True)


def serve(conn):
    f = conn.makefile('rb')

    def say(line):
        conn.sendall(line.encode() + b'\r\n')

    if mode == 'close-at-connect':
        conn.close()
        return
    say('220 bad.example ESMTP')
    for raw in f:
        line = raw.decode(errors='replace').strip()
        verb = line.split(':')[0].split(' ')[0].upper()
        if verb in ('EHLO', 'HELO'):
            say('250 bad.example')
        elif verb == 'MAIL':
            say('250 OK')
        elif verb == 'RCPT':
            with open(os.path.join(folder, 'rcpt'), 'a') as out:
                out.write(line.split(':', 1)[1].strip() + '\n')
            say('250 OK')
        elif verb == 'DATA':
            say('354 go ahead')
            if mode == 'close-in-data':
                f.readline()
                conn.close()
                return
            for body in f:
                if body in (b'.\r\n', b'.\n'):
                    break
            if mode == 'quiet-after-data':
                time.sleep(3600)
            say('250 OK queued')
        elif verb == 'QUIT':
            if mode == 'quiet-after-quit':
                time.sleep(3600)
            say('221 bye')
            conn.close()
            return
        else:
            say('502 not here')


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(('127.0.0.1', port))
listener.listen(64)
open(os.path.join(folder, 'ready'), 'w').close()
while True:
    c, _ = listener.accept()
    threading.Thread(target=serve, args=(c,), daemon=True).start()
